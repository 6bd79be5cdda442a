// The Base64 form of the mail password: RFC 4648 vectors, the decoder's own
// rules for odd lengths and "=", and every byte value through both ways.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Encode(const std::string &text)
{
    char out[4096];
    EXPECT_EQ(EncodePassword(text.c_str(), out, sizeof out), 1) << text;
    return out;
}

struct Vector {
    const char *plain;
    const char *encoded;
};

TEST(PasswordEncoding, MatchesRfc4648Vectors)
{
    const Vector vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        // Bytes above 127 are taken as unsigned values.
        {"\x80", "gA=="},
        {"\xfb\xff", "+/8="},
        {"\xff\xff\xff", "////"},
        {"\xe9t\xe9", "6XTp"},
    };
    for (const Vector &v : vectors) {
        EXPECT_EQ(Encode(v.plain), v.encoded) << v.plain;
        char out[64];
        EXPECT_EQ(DecodePassword(v.encoded, out, sizeof out), (int)strlen(v.plain)) << v.encoded;
        EXPECT_STREQ(out, v.plain) << v.encoded;
    }
}

TEST(PasswordEncoding, NullTextEncodesAsEmpty)
{
    char out[8] = "junk";
    EXPECT_EQ(EncodePassword(nullptr, out, sizeof out), 1);
    EXPECT_STREQ(out, "");
}

TEST(PasswordEncoding, EncodingThatDoesNotFitIsRefusedWhole)
{
    // "foobar" needs 8 characters and a terminator.
    char out[16];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(EncodePassword("foobar", out, 9), 1);
    EXPECT_STREQ(out, "Zm9vYmFy");
    memset(out, 'x', sizeof out);
    EXPECT_EQ(EncodePassword("foobar", out, 8), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[1], 'x'); // nothing written past the terminator
}

TEST(PasswordEncoding, EveryLengthEncodesToMultipleOfFourAndBack)
{
    // Texts of every byte value 1 to 255 (0 ends a text), cut to each length.
    std::string all;
    for (int b = 1; b < 256; b++)
        all += (char)b;
    for (size_t n = 0; n <= all.size(); n++) {
        std::string text = all.substr(all.size() - n);
        std::string encoded = Encode(text);
        ASSERT_EQ(encoded.size(), 4 * ((n + 2) / 3)) << n;
        size_t pads = encoded.size() - encoded.find_last_not_of('=') - 1;
        if (encoded.empty())
            pads = 0;
        EXPECT_EQ(pads, (3 - n % 3) % 3) << n;
        char out[512];
        EXPECT_EQ(DecodePassword(encoded.c_str(), out, sizeof out), (int)n) << n;
        EXPECT_EQ(std::string(out), text) << n;
    }
}

struct DecodeCase {
    const char *input;
    int result;
    std::string bytes; // what the output holds before its terminator
};

TEST(PasswordDecoding, FollowsItsOwnRules)
{
    const DecodeCase cases[] = {
        {"", 0, ""},
        // Lengths that are not a multiple of 4 are rejected.
        {"Z", 0, "#### Invalid ####"},
        {"Zm9", 0, "#### Invalid ####"},
        {"Zm9vY", 0, "#### Invalid ####"},
        {"Zm9vYg=", 0, "#### Invalid ####"},
        // Four "=" give one zero byte.
        {"====", 1, std::string(1, '\0')},
        // The last two places are tested each on their own.
        {"Zg=A", 2, std::string("f\0", 2)},
        {"Zm9=", 2, "fo"},
        {"Zg==", 1, "f"},
        // "=" elsewhere counts as 0 and does not shorten the result.
        {"=m9v", 3, std::string("\x02" "o" "o")},
        {"Zm=vYmFy", 6, "f`/bar"},
        // Unpadded input of a multiple of 4 decodes whole.
        {"AAAA", 3, std::string(3, '\0')},
    };
    for (const DecodeCase &c : cases) {
        char out[64];
        memset(out, 'x', sizeof out);
        int result = DecodePassword(c.input, out, sizeof out);
        EXPECT_EQ(result, c.result) << c.input;
        EXPECT_EQ(std::string(out, c.bytes.size()), c.bytes) << c.input;
        EXPECT_EQ(out[c.bytes.size()], '\0') << c.input;
    }
}

TEST(PasswordDecoding, EveryByteValueStaysInsideTheTable)
{
    // Each byte value in each place of a group: alphabet characters give
    // their position, everything else (128 to 255 included) counts as 0.
    for (int b = 1; b < 256; b++) {
        const char *at = strchr(kAlphabet, b);
        unsigned long value = at ? (unsigned long)(at - kAlphabet) : 0;
        for (int place = 0; place < 3; place++) { // the last place is below
            char input[5] = {'A', 'A', 'A', 'A', '\0'};
            input[place] = (char)b;
            unsigned char out[8];
            // "=" as the next-to-last character shortens the result.
            int expectedLength = (b == '=' && place == 2) ? 2 : 3;
            ASSERT_EQ(DecodePassword(input, (char *)out, sizeof out), expectedLength) << b;
            unsigned long v = ((unsigned long)out[0] << 16) | (out[1] << 8) | out[2];
            if (b == '=')
                value = 0;
            EXPECT_EQ(v, value << (6 * (3 - place))) << "byte " << b << " place " << place;
        }
        char input[5] = {'A', 'A', 'A', (char)b, '\0'};
        unsigned char out[8];
        int expectedLength = b == '=' ? 2 : 3;
        ASSERT_EQ(DecodePassword(input, (char *)out, sizeof out), expectedLength) << b;
        if (b != '=') {
            EXPECT_EQ(out[2], value) << b;
        }
        EXPECT_EQ(out[expectedLength], 0) << b;
    }
}

TEST(PasswordDecoding, OutputThatDoesNotFitIsRefused)
{
    // "Zm9vYmFy" needs 6 bytes and a terminator.
    char out[16];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(DecodePassword("Zm9vYmFy", out, 7), 6);
    EXPECT_STREQ(out, "foobar");
    memset(out, 'x', sizeof out);
    EXPECT_EQ(DecodePassword("Zm9vYmFy", out, 6), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[1], 'x');
    // The marker needs 18 bytes.
    memset(out, 'x', sizeof out);
    EXPECT_EQ(DecodePassword("abcde", out, 10), 0);
    EXPECT_STREQ(out, "");
}

} // namespace
