#include "JsonReader.h"

#include <cstdlib>
#include <stdexcept>

namespace ctltest {

namespace {

const Json kNull;

class Parser {
public:
    explicit Parser(const std::string &text) : s_(text) {}

    Json Document()
    {
        Json value = Value();
        Skip();
        if (pos_ != s_.size())
            Fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string &what) const
    {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }

    void Skip()
    {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\t' || s_[pos_] == '\r'))
            ++pos_;
    }

    bool Take(const char *word)
    {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0)
            return false;
        pos_ += w.size();
        return true;
    }

    Json Value()
    {
        Skip();
        if (pos_ >= s_.size())
            Fail("unexpected end");
        Json v;
        const char c = s_[pos_];
        if (c == '{') {
            v.type = Json::Type::Object;
            ++pos_;
            Skip();
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return v;
            }
            for (;;) {
                Skip();
                if (pos_ >= s_.size() || s_[pos_] != '"')
                    Fail("member name expected");
                const std::string key = String();
                Skip();
                if (pos_ >= s_.size() || s_[pos_++] != ':')
                    Fail("':' expected");
                if (!v.object.emplace(key, Value()).second)
                    Fail("duplicate member " + key);
                Skip();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < s_.size() && s_[pos_] == '}') {
                    ++pos_;
                    return v;
                }
                Fail("',' or '}' expected");
            }
        }
        if (c == '[') {
            v.type = Json::Type::Array;
            ++pos_;
            Skip();
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return v;
            }
            for (;;) {
                v.array.push_back(Value());
                Skip();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < s_.size() && s_[pos_] == ']') {
                    ++pos_;
                    return v;
                }
                Fail("',' or ']' expected");
            }
        }
        if (c == '"') {
            v.type = Json::Type::String;
            v.string = String();
            return v;
        }
        if (Take("true")) {
            v.type = Json::Type::Bool;
            v.boolean = true;
            return v;
        }
        if (Take("false")) {
            v.type = Json::Type::Bool;
            return v;
        }
        if (Take("null"))
            return v;
        const char *start = s_.c_str() + pos_;
        char *end = nullptr;
        v.number = std::strtod(start, &end);
        if (end == start)
            Fail("value expected");
        v.type = Json::Type::Number;
        pos_ += static_cast<std::size_t>(end - start);
        return v;
    }

    void Utf8(unsigned cp, std::string *out)
    {
        if (cp < 0x80) {
            *out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            *out += static_cast<char>(0xC0 | (cp >> 6));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *out += static_cast<char>(0xE0 | (cp >> 12));
            *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::string String()
    {
        ++pos_;  // opening quote
        std::string out;
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                Fail("raw control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size())
                break;
            const char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (pos_ + 4 > s_.size())
                    Fail("short \\u escape");
                const std::string hex = s_.substr(pos_, 4);
                pos_ += 4;
                Utf8(static_cast<unsigned>(std::strtoul(hex.c_str(), nullptr, 16)), &out);
                break;
            }
            default: Fail("bad escape");
            }
        }
        Fail("unterminated string");
    }

    const std::string &s_;
    std::size_t pos_ = 0;
};

} // namespace

const Json &Json::operator[](const std::string &key) const
{
    if (type != Type::Object)
        return kNull;
    const auto it = object.find(key);
    return it == object.end() ? kNull : it->second;
}

const Json &Json::operator[](std::size_t index) const
{
    return type == Type::Array && index < array.size() ? array[index] : kNull;
}

Json ParseJson(const std::string &text)
{
    return Parser(text).Document();
}

} // namespace ctltest
