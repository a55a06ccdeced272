// A small JSON reader for the tests: enough to parse kestrowctl's --json
// output and fail loudly on anything malformed.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ctltest {

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Json> array;
    std::map<std::string, Json> object;

    bool IsNull() const { return type == Type::Null; }
    // Member access; a missing member or a non-object gives a null value.
    const Json &operator[](const std::string &key) const;
    const Json &operator[](std::size_t index) const;
    std::size_t size() const { return type == Type::Array ? array.size() : object.size(); }
    long long Int() const { return static_cast<long long>(number); }
};

// Parses the whole text; throws std::runtime_error on a syntax error or on
// anything after the value.
Json ParseJson(const std::string &text);

} // namespace ctltest
