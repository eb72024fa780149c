// Radix conversions: text to number and back in bases 2 to 64, the message
// box for larger bases, and what hostile input gives.
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string.h>
#include "support.h"
#include "varrowen.h"

typedef std::numeric_limits<long double> ldlimits;
static const long long intmax = 2147483647, intmin = -intmax - 1;
static const long long notwhole = 0x7fffffffffffffffLL;

// VR_num2strA into a 32-byte buffer between two 16-byte guards, all poisoned.
static std::string num2str(long double value, int base)
{
    unsigned char bytes[64], poison[64];
    memset(bytes, 0xbd, sizeof bytes);
    memset(poison, 0xbd, sizeof poison);
    char *out = (char *)bytes + 16;
    EXPECT_EQ(out, VR_num2strA(value, base, out));
    EXPECT_EQ(0, memcmp(bytes, poison, 16));
    EXPECT_EQ(0, memcmp(bytes + 48, poison, 16));
    return std::string(out, strnlen(out, 32));
}

// The result as a whole number of the signed 32-bit range, or notwhole.
static long long whole(long double value)
{
    if (!(value >= intmin && value <= intmax) || value != (long double)(long long)value)
        return notwhole;
    return (long long)value;
}

TEST(radix, examples)
{
    static const struct { const char *text; int base; long long value; } reads[] = {
        { "ff", 16, 255 }, { "101", 2, 5 }, { "10", 64, 64 }, { "]", 64, 63 }, { "", 10, 0 },
        { "7", 2, 7 }, { "7", 64, 7 }, { "Z", 64, 61 }, { "z", 10, 35 }, { "[", 64, 62 },
        { "A", 64, 36 }, { "1]", 64, 127 }, { " ", 10, -16 }, { "-1", 10, -29 },
        { "1111111111111111111111111111111", 2, intmax },
    };
    for (auto &row : reads)
        EXPECT_EQ(row.value, whole(VR_str2numA(row.text, row.base))) << "\"" << row.text << "\" base " << row.base;

    static const struct { long double value; int base; const char *text; } writes[] = {
        { 255, 16, "ff" }, { 256, 16, "100" }, { 63, 64, "]" }, { 64, 64, "10" }, { 255.9L, 10, "255" },
        { 0, 10, "" }, { 0.99L, 10, "" }, { -5, 10, "" }, { 1, 2, "1" }, { 61, 64, "Z" }, { 63, 63, "10" },
        { 2147483647, 2, "1111111111111111111111111111111" }, { 2147483647.99L, 10, "2147483647" },
    };
    for (auto &row : writes)
        EXPECT_EQ(row.text, num2str(row.value, row.base)) << (double)row.value << " base " << row.base;
}

TEST(radix, round_trips_in_every_base)
{
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> any(1, intmax);
    for (int base = 2; base <= 64; base++) {
        std::vector<long long> values = { 1, base - 1, intmax - 1, intmax };
        for (long long p = base; p <= intmax; p *= base)
            values.insert(values.end(), { p - 1, p, p + 1 });
        for (int i = 0; i < 3000; i++)
            values.push_back(any(random));
        for (long long value : values) {
            std::string text = num2str(value, base);
            ASSERT_TRUE(!text.empty() && text[0] != '0') << value << " base " << base << ": " << text;
            ASSERT_EQ(value, whole(VR_str2numA(text.c_str(), base))) << value << " base " << base << ": " << text;
        }
    }
}

TEST(radix, base_above_64_is_reported_and_taken_as_64)
{
    boxcatcher catcher;
    EXPECT_EQ("1]]]]]", num2str(2147483647, 100));
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ("Use str2numex instead", catcher.boxes[0].caption);
    EXPECT_EQ("Base above 64 is not allowed with this function. It's Intentionally limited. "
              "As it extends upto Unusual text characters.", catcher.boxes[0].text);
    // Reported whatever the value.
    EXPECT_EQ("", num2str(ldlimits::quiet_NaN(), 65));
    EXPECT_EQ("10", num2str(64, 2147483647));
    EXPECT_EQ(3u, catcher.boxes.size());
}

TEST(radix, num2str_gives_empty_text_for_what_it_cannot_write)
{
    const long double values[] = {
        0, -0.0L, 0.9999999L, -1, intmin, -ldlimits::infinity(), ldlimits::infinity(),
        ldlimits::quiet_NaN(), -ldlimits::quiet_NaN(), ldlimits::denorm_min(),
        2147483648.0L, 4294967296.0L, 1e30L, ldlimits::max(),
    };
    for (long double value : values)
        for (int base : { 2, 10, 64 })
            EXPECT_EQ("", num2str(value, base)) << (double)value << " base " << base;
    for (int base : { 1, 0, -1, -64, (int)intmin })
        for (long double value : { 1.0L, 2147483647.0L })
            EXPECT_EQ("", num2str(value, base)) << (double)value << " base " << base;
}

TEST(radix, str2num_of_every_byte)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ[]";
    for (int c = 1; c < 256; c++) {
        // Up to '9' as a signed byte: the code minus '0'; letters: their
        // digit; anything else counts 0 but keeps its place.
        const char *at = strchr(digits, c);
        long long value = (signed char)c <= '9' ? (signed char)c - '0' : at ? at - digits : 0;
        const char text[3] = { (char)c, '1', 0 };
        EXPECT_EQ(value * 64 + 1, whole(VR_str2numA(text, 64))) << "byte " << c;
    }
}

TEST(radix, str2num_saturates_and_stays_whole)
{
    std::string zeros(3000, '0'), ones(3000, '1');
    static const struct { std::string text; int base; long long value; } rows[] = {
        { "2147483648", 10, intmax },
        { "99999999999999999999", 10, intmax },
        { "11111111111111111111111111111111", 2, intmax },
        { "1z0", 46340, intmax },           // each term fits, the total does not
        { "/(0", 46340, intmin },           // the same below zero
        { "-0", 1073741824, intmin },       // -3 * 2^30 as one term
        { "\xff\xff\xff\xff\xff\xff", 64, intmin },
        { "1" + zeros, 64, intmax },        // the power overflows to infinity
        { zeros, 64, 0 },                   // zero times infinity counts nothing
        { std::string(100000, ']'), 64, intmax },
        { ones, 1, 3000 },
        { "12", 0, 2 },
        { "101", -2, 5 },
        { "11", (int)intmin, intmin + 1 },
        { "11", (int)intmax, intmax },
    };
    for (auto &row : rows)
        EXPECT_EQ(row.value, whole(VR_str2numA(row.text.c_str(), row.base)))
            << "\"" << row.text.substr(0, 24) << "\" (" << row.text.size() << " chars) base " << row.base;

    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(1, 255), length(0, 300);
    for (int i = 0; i < 20000; i++) {
        std::string text(length(random), ' ');
        for (char &c : text)
            c = (char)byte(random);
        int base = i % 2 ? (int)random() : (int)(random() % 2100) - 100;
        long long value = whole(VR_str2numA(text.c_str(), base));
        ASSERT_NE(notwhole, value) << "random text " << i << " base " << base;
        ASSERT_EQ(value, whole(VR_str2numA(text.c_str(), base))) << "random text " << i << " base " << base;
    }
}
