// The fast scanner against nlohmann's parser: whatever the scanner accepts, the parser must
// accept with the very same events, numbers compared bit for bit.
#include "jsonscan.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>
#include <string>

using nlohmann::json;

namespace {

struct Events
{
    std::string log;
    bool put(char tag, const std::string &payload = {})
    {
        log += tag;
        log += std::to_string(payload.size());
        log += ':';
        log += payload;
        return true;
    }
    bool null() { return put('n'); }
    bool boolean(bool v) { return put(v ? 't' : 'f'); }
    bool number_integer(json::number_integer_t v) { return number_float(double(v), {}); }
    bool number_unsigned(json::number_unsigned_t v) { return number_float(double(v), {}); }
    bool number_float(double v, const std::string &)
    {
        std::string bits(sizeof v, '\0');
        std::memcpy(bits.data(), &v, sizeof v);
        return put('#', bits);
    }
    bool string(std::string &v) { return put('s', v); }
    bool binary(json::binary_t &) { return put('b'); }
    bool key(std::string &v) { return put('k', v); }
    bool start_object(std::size_t) { return put('{'); }
    bool end_object() { return put('}'); }
    bool start_array(std::size_t) { return put('['); }
    bool end_array() { return put(']'); }
    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &)
    {
        return false;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *begin = reinterpret_cast<const char *>(data);
    Events fast;
    if (!jsonscan::scan(begin, begin + size, fast))
        return 0; // not sure: the full parser decides
    Events full;
    if (!json::sax_parse(begin, begin + size, &full) || full.log != fast.log)
        std::abort();
    return 0;
}
