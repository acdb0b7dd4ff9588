#include "common/decimal.h"

std::int32_t ParseDecimal(const char* text)
{
    const char* at = text;
    while (*at == ' ' || (*at >= '\t' && *at <= '\r'))
        ++at;
    bool negative = false;
    if (*at == '+' || *at == '-')
        negative = *at++ == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; *at >= '0' && *at <= '9'; ++at) {
        value = value * 10 + (*at - '0');
        if (value > limit)
            value = limit;  // stays there however many digits follow
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}
