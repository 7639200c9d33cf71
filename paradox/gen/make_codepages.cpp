// Writes the decoding tables of the single-byte code pages that Paradox tables carry, as the
// C library's iconv converts each byte, so that no table is typed by hand.
//   make_codepages OUTPUT.cpp
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct Source {
    unsigned number;     // as stored in the table header; 0 for HP Roman-8, which has none
    const char* iconvName;
};

constexpr Source kSources[] = {
    {437, "CP437"},   {737, "CP737"},   {775, "CP775"},   {850, "CP850"},   {852, "CP852"},
    {855, "CP855"},   {857, "CP857"},   {860, "CP860"},   {861, "CP861"},   {862, "CP862"},
    {863, "CP863"},   {865, "CP865"},   {866, "CP866"},   {869, "CP869"},   {874, "CP874"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"}, {0, "HP-ROMAN8"},
};

// The code point of one byte, 0 where the code page assigns it none (NUL itself is 0 too).
bool decodeByte(iconv_t cd, unsigned char byte, std::uint32_t& codePoint)
{
    char in[1] = {static_cast<char>(byte)};
    char out[16];
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        if (errno == EILSEQ || errno == EINVAL) {
            codePoint = 0;
            return true;
        }
        return false;
    }
    // A byte that decodes to more than one character has no single code point.
    if (sizeof out - outLeft != 4) {
        codePoint = 0;
        return true;
    }
    const auto* u = reinterpret_cast<const unsigned char*>(out);
    codePoint = std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 | std::uint32_t(u[3]) << 24;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_codepages OUTPUT.cpp\n");
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f, "// Generated at build time by make_codepages from the C library's iconv.\n"
                    "#include \"paradox/CodePage.h\"\n\nnamespace paradox {\n\n"
                    "const CodePageTable kCodePageTables[] = {\n");
    for (const Source& s : kSources) {
        iconv_t cd = iconv_open("UTF-32LE", s.iconvName);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "make_codepages: iconv cannot convert from %s\n", s.iconvName);
            return 1;
        }
        std::fprintf(f, "    {%u, \"%s\", {", s.number, s.iconvName);
        for (int b = 0; b < 256; ++b) {
            std::uint32_t c = 0;
            if (!decodeByte(cd, static_cast<unsigned char>(b), c)) {
                std::fprintf(stderr, "make_codepages: iconv failed on byte %d of %s: %s\n", b, s.iconvName, std::strerror(errno));
                return 1;
            }
            std::fprintf(f, "%s0x%X", b ? (b % 16 ? ", " : ",\n        ") : "", c);
        }
        std::fprintf(f, "}},\n");
        iconv_close(cd);
    }
    std::fprintf(f, "};\n\nconst std::size_t kCodePageTableCount = %zu;\n\n}  // namespace paradox\n",
                 sizeof kSources / sizeof kSources[0]);
    return std::fclose(f) == 0 ? 0 : 1;
}
