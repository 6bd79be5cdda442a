// The mail password's Base64 form, both ways, in buffers of exactly the size
// they need (on the heap, so a byte past the end is a finding). What a user
// would say: a password comes back as it went in; the stored form is
// standard Base64 of its length; a buffer a byte short is refused, not cut;
// any text at all decodes without harm.
#include "settings/settings.h"
#include "fuzz_host.h"

#include <memory>

namespace {

bool InAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

std::unique_ptr<char[]> Buffer(size_t size, char fill = '#')
{
    std::unique_ptr<char[]> buffer(new char[size]);
    memset(buffer.get(), fill, size);
    return buffer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 8192)
        return 0;
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::string password(input.c_str()); // a password is text: up to its first 0

    // Encoded: 4 characters for every 3 bytes begun, "=" for the rest.
    const size_t length = (password.size() + 2) / 3 * 4;
    auto encoded = Buffer(length + 1);
    FUZZ_CHECK(EncodePassword(password.c_str(), encoded.get(), length + 1) == 1, "exact buffer refused");
    const std::string form(encoded.get());
    FUZZ_CHECK(form.size() == length, "encoded %zu characters, Base64 has %zu", form.size(), length);
    const size_t pad = (3 - password.size() % 3) % 3;
    for (size_t i = 0; i < form.size(); i++)
        FUZZ_CHECK(i >= form.size() - pad ? form[i] == '=' : InAlphabet(form[i]), "encoded %s", form.c_str());

    if (length > 0) {
        auto shortBuffer = Buffer(length);
        FUZZ_CHECK(EncodePassword(password.c_str(), shortBuffer.get(), length) == 0 && shortBuffer[0] == '\0',
                   "a buffer one byte short was not refused");
    }

    // Back again, into exactly the bytes it needs.
    auto decoded = Buffer(password.size() + 1);
    int count = DecodePassword(form.c_str(), decoded.get(), password.size() + 1);
    FUZZ_CHECK(count == static_cast<int>(password.size()) && password == decoded.get(),
               "%s came back as %d bytes: %s", FuzzHex(password).c_str(), count, FuzzHex(decoded.get()).c_str());

    // Any text decodes within its buffer, to an answer that says what it is.
    for (size_t outSize : {size_t(1), input.size() / 2 + 1, input.size() + 18}) {
        auto out = Buffer(outSize);
        int n = DecodePassword(input.c_str(), out.get(), outSize);
        const size_t shown = strnlen(out.get(), outSize);
        FUZZ_CHECK(shown < outSize, "decoded text not terminated in its %zu bytes", outSize);
        FUZZ_CHECK(n >= 0 && static_cast<size_t>(n) < outSize, "decoded %d bytes into %zu", n, outSize);
        if (n == 0)
            FUZZ_CHECK(shown == 0 || strcmp(out.get(), "#### Invalid ####") == 0, "refused with %s",
                       FuzzHex(out.get()).c_str());
    }
    return 0;
}
