#include "CtlTestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace ctltest {

CtlEnv::CtlEnv(const std::string &scenario)
{
    dir_.Subdir("run");
    std::string error;
    simReady_ = sim_.Start(scenario, &error);
}

std::vector<std::string> CtlEnv::Environment(const std::vector<std::string> &extra) const
{
    std::vector<std::string> env{sim_.EnvEntry(), "KESTROW_REGISTRY=" + Registry(),
                                 "XDG_RUNTIME_DIR=" + RuntimeDir()};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

RunResult CtlEnv::Ctl(const std::vector<std::string> &args) const
{
    std::vector<std::string> argv{KESTROWCTL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return ktest::Run(argv, std::chrono::seconds(120), Environment());
}

QJsonValue JsonOf(const RunResult &run)
{
    EXPECT_EQ(run.exitCode, 0) << run.err;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    return doc.object();
}

std::string Str(const QJsonValue &value)
{
    return value.toString().toStdString();
}

std::size_t Size(const QJsonValue &value)
{
    return static_cast<std::size_t>(value.isArray() ? value.toArray().size() : value.toObject().size());
}

QJsonValue Find(const QJsonValue &list, const char *key, const std::string &value)
{
    for (const QJsonValue item : list.toArray()) {
        if (Str(item[QString::fromLatin1(key)]) == value)
            return item;
    }
    return QJsonValue(QJsonValue::Undefined);
}

} // namespace ctltest
