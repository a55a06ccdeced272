// kestrowctl's tests: a private registry, runtime directory and adapter-sim
// (the shared fixture), runs of the real kestrowctl there, and its --json
// output read with QJsonDocument.
#pragma once

#include <QJsonArray>
#include <QJsonValue>

#include <string>
#include <vector>

#include "AdapterSim.h"
#include "ChildProcess.h"
#include "TempDir.h"

namespace ctltest {

using ktest::RunResult;

class CtlEnv {
public:
    // Starts adapter-sim with `scenario` (empty: its default).
    explicit CtlEnv(const std::string &scenario = {});

    bool SimReady() const { return simReady_; }
    ktest::AdapterSim &Sim() { return sim_; }
    const std::string &Dir() const { return dir_.Path(); }
    std::string Registry() const { return dir_.File("registry.sqlite3"); }
    std::string RuntimeDir() const { return dir_.File("run"); }
    // "NAME=value" entries that point a program at this environment.
    std::vector<std::string> Environment(const std::vector<std::string> &extra = {}) const;
    // kestrowctl with these arguments in this environment.
    RunResult Ctl(const std::vector<std::string> &args) const;

private:
    ktest::TempDir dir_;
    ktest::AdapterSim sim_;
    bool simReady_ = false;
};

// The --json output of a successful run (a failed run or bad JSON fails the
// test and gives an empty object).
QJsonValue JsonOf(const RunResult &run);
std::string Str(const QJsonValue &value);
std::size_t Size(const QJsonValue &value);
// The member of `list` whose `key` is `value`; undefined when none is.
QJsonValue Find(const QJsonValue &list, const char *key, const std::string &value);

} // namespace ctltest
