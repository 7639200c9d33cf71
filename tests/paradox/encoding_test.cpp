// Golden bytes of every field type's encoding, and of a whole small table.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/CaseFold.h"
#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/Utf8.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <charconv>
#include <random>

using namespace paradox;

namespace {

Field field(FieldType type, int size)
{
    Field f;
    f.type = type;
    f.size = std::uint8_t(size);
    return f;
}

sql::Literal literal(sql::Literal::Kind kind, const std::string& text)
{
    sql::Literal v;
    v.kind = kind;
    v.pos = 1;
    v.owned = text;
    v.unescaped = true;
    return v;
}
sql::Literal number(const std::string& text) { return literal(sql::Literal::Kind::Number, text); }
sql::Literal text(const std::string& t) { return literal(sql::Literal::Kind::String, t); }

struct Golden {
    Field field;
    sql::Literal value;
    std::string bytes;   // hex of the field's bytes in the record
};

std::string encoded(const Field& f, const sql::Literal& v, std::optional<std::string>* error = nullptr)
{
    std::string out(std::size_t(f.bytes()), '\0'), blob;
    auto e = f.isBlob() ? blobContents(f, v, CodePage::of(Header{}), blob)
                        : encodeLiteral(f, v, CodePage::of(Header{}), reinterpret_cast<unsigned char*>(out.data()), blob);
    if (error) *error = e;
    return ptest::hex(out);
}

}  // namespace

TEST(Encoding, GoldenBytesOfEveryFixedType)
{
    const std::vector<Golden> cases{
        {field(FieldType::Short, 2), number("1"), "80 01"},
        {field(FieldType::Short, 2), number("256"), "81 00"},
        {field(FieldType::Short, 2), number("-1"), "7f ff"},
        {field(FieldType::Short, 2), number("0"), "80 00"},
        {field(FieldType::Short, 2), number("-32767"), "00 01"},
        {field(FieldType::Long, 4), number("1"), "80 00 00 01"},
        {field(FieldType::Long, 4), number("-2147483647"), "00 00 00 01"},
        {field(FieldType::Long, 4), number("2147483647"), "ff ff ff ff"},
        {field(FieldType::Long, 4), number("7.0"), "80 00 00 07"},
        {field(FieldType::Number, 8), number("1.5"), "bf f8 00 00 00 00 00 00"},
        {field(FieldType::Number, 8), number("-0.25"), "40 2f ff ff ff ff ff ff"},
        {field(FieldType::Number, 8), number("0"), "80 00 00 00 00 00 00 00"},
        {field(FieldType::Number, 8), number("-0.0"), "80 00 00 00 00 00 00 00"},
        {field(FieldType::Money, 8), number("12.5"), "c0 29 00 00 00 00 00 00"},
        {field(FieldType::Logical, 1), number("0"), "80"},
        {field(FieldType::Logical, 1), number("1"), "81"},
        {field(FieldType::Logical, 1), literal(sql::Literal::Kind::True, "TRUE"), "81"},
        {field(FieldType::Date, 4), text("08/31/2021"), "80 0b 42 f1"},          // day 738033
        {field(FieldType::Date, 4), text("2021-08-31"), "80 0b 42 f1"},
        {field(FieldType::Date, 4), text("12/30/1899"), "80 0a 95 5a"},          // day 693594
        {field(FieldType::Date, 4), text("01/01/0001"), "80 00 00 01"},
        {field(FieldType::Time, 4), text("00:00:00"), "80 00 00 00"},            // midnight is not blank
        {field(FieldType::Time, 4), text("12/30/1899 12:30:00"), "82 ae a5 40"}, // 45,000,000 ms
        {field(FieldType::Timestamp, 8), text("08/31/2021 14:05:00"), "c2 cc ff 59 ed 1d 70 00"},
        {field(FieldType::Timestamp, 8), text("01/01/0001"), "c1 94 99 70 00 00 00 00"},   // 86,400,000
        {field(FieldType::Bcd, 2), number("1234.56"), "c2 00 00 00 00 00 00 00 00 00 00 00 00 00 12 34 56"},
        {field(FieldType::Bcd, 2), number("-7.5"), "42 ff ff ff ff ff ff ff ff ff ff ff ff ff ff f8 af"},
        {field(FieldType::Bcd, 0), number("0"), "c0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {field(FieldType::Bcd, 1), number("0.10"), "c1 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01"},   // zeros beyond the decimals
        {field(FieldType::Bcd, 2), number("1.2345E+2"), "c2 00 00 00 00 00 00 00 00 00 00 00 00 00 01 23 45"},
        {field(FieldType::Alpha, 4), text("ab"), "61 62 00 00"},
        {field(FieldType::Alpha, 4), text("abcd"), "61 62 63 64"},               // full width: no terminator
        {field(FieldType::Alpha, 4), text("\xE2\x82\xAC" "\xC3\xA9"), "80 e9 00 00"},   // euro sign, e acute in 1252
        {field(FieldType::Alpha, 4), number("12.5"), "31 32 2e 35"},
        {field(FieldType::Bytes, 3), text("A"), "41 00 00"},
        {field(FieldType::Long, 4), literal(sql::Literal::Kind::Null, ""), "00 00 00 00"},
        {field(FieldType::Alpha, 2), text(""), "00 00"},
    };
    for (const auto& c : cases) {
        std::optional<std::string> error;
        EXPECT_EQ(encoded(c.field, c.value, &error), c.bytes) << typeName(c.field.type) << " " << c.value.text();
        EXPECT_FALSE(error) << *error;
    }
}

TEST(Encoding, ValuesThatDoNotFitAreRejectedWithTheReason)
{
    const std::vector<std::pair<Golden, std::string>> cases{
        {{field(FieldType::Short, 2), number("32768"), ""}, "32768 is out of range (-32767 to 32767)"},
        {{field(FieldType::Short, 2), number("-32768"), ""}, "-32768 is out of range (-32767 to 32767)"},
        {{field(FieldType::Long, 4), number("-2147483648"), ""}, "-2147483648 is out of range (-2147483647 to 2147483647)"},
        {{field(FieldType::Long, 4), number("1.5"), ""}, "1.5 has a fraction, which a whole-number column cannot hold"},
        {{field(FieldType::Long, 4), text("abc"), ""}, "'abc' is not a number"},
        {{field(FieldType::Number, 8), number("1e999"), ""}, "1e999 is out of range for a floating-point number"},
        {{field(FieldType::Logical, 1), number("2"), ""}, "2 is not a logical value (0, 1, TRUE or FALSE)"},
        {{field(FieldType::Date, 4), text("02/30/2021"), ""},
         "'02/30/2021' is not a date or time ('mm/dd/yyyy', 'mm/dd/yyyy hh:nn:ss', 'yyyy-mm-dd hh:nn:ss' or 'hh:nn:ss')"},
        {{field(FieldType::Date, 4), text("08/31/2021 10:15:00"), ""}, "'08/31/2021 10:15:00' has a time of day, which a Date column cannot hold"},
        {{field(FieldType::Date, 4), number("5"), ""}, "5 is not a date; write it as 'mm/dd/yyyy' or 'mm/dd/yyyy hh:nn:ss'"},
        {{field(FieldType::Time, 4), text("08/31/2021 10:15:00"), ""}, "'08/31/2021 10:15:00' has a date, which a Time column cannot hold"},
        {{field(FieldType::Alpha, 3), text("abcd"), ""}, "the text 'abcd' has 4 characters, the column holds 3"},
        {{field(FieldType::Alpha, 9), text("a\xE2\x82\xB9"), ""}, "character 2 of 'a\xE2\x82\xB9' is not in code page 1252"},
        {{field(FieldType::Bcd, 30), number("123"), ""}, "123 has more than 2 digits before the decimal point"},
        {{field(FieldType::Bcd, 1), number("0.05"), ""}, "0.05 has 2 decimals, the column holds 1"},
        {{field(FieldType::Bcd, 2), number("1E-3"), ""}, "1E-3 has 3 decimals, the column holds 2"},
        {{field(FieldType::Bcd, 2), number("1E+9999999999"), ""}, "1E+9999999999 has more than 30 digits before the decimal point"},
        {{field(FieldType::Number, 8), text("NaN"), ""}, "'NaN' is not a finite number, which a Number column cannot hold"},
        {{field(FieldType::Money, 8), text("-Infinity"), ""}, "'-Infinity' is not a finite number, which a Money column cannot hold"},
        {{field(FieldType::Number, 8), number("99999999999999999999999999999999999999"), ""},
         "99999999999999999999999999999999999999 has more digits than a Number column holds exactly; it would read back as 1e+38"},
        {{field(FieldType::Number, 8), number("0.99999999999999999999999999999999999999"), ""},
         "0.99999999999999999999999999999999999999 has more digits than a Number column holds exactly; it would read back as 1"},
        {{field(FieldType::Money, 8), number("-922337203685477.5808"), ""},
         "-922337203685477.5808 has more digits than a Money column holds exactly; it would read back as -922337203685477.6"},
        {{field(FieldType::Number, 8), number("1e-400"), ""}, "1e-400 has more digits than a Number column holds exactly; it would read back as 0"},
        {{field(FieldType::Number, 8), number("1.23456789012345e-320"), ""},
         "1.23456789012345e-320 has more digits than a Number column holds exactly; it would read back as 1.2347e-320"},
    };
    for (const auto& [c, message] : cases) {
        std::optional<std::string> error;
        encoded(c.field, c.value, &error);
        ASSERT_TRUE(error) << c.value.text();
        EXPECT_EQ(*error, message);
    }
}

// Amounts of up to 15 digits take a shorter way to their double than other numbers; both
// must give the nearest double, the one from_chars finds. Whole numbers take a shorter way
// too, and keep their range checks.
TEST(Encoding, ShortNumbersGetTheNearestDoubleAndWholeNumbersTheirRange)
{
    std::mt19937_64 random(8);
    std::vector<std::string> texts{"0", "-0", "5.", ".5", "+0.1", "0.3", "999999999999999", "99999999999999.9", "0.000000000000001",
                                   "1234567890.12345", "9007199254740992", "0.30000000000000004", "-1.0000000000000002"};
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + int(random() % 15), point = int(random() % (digits + 1));
        std::string t = random() % 2 ? "-" : "";
        for (int d = 0; d < digits; ++d) t += (d == point ? "." : "") + std::to_string(random() % 10);
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        double expected = 0;
        const std::string_view digits = t[0] == '+' ? std::string_view(t).substr(1) : std::string_view(t);
        std::from_chars(digits.data(), digits.data() + digits.size(), expected);
        unsigned char want[8];
        encodeDouble(want, expected);
        ASSERT_EQ(encoded(field(FieldType::Number, 8), number(t)), ptest::hex(std::string(reinterpret_cast<char*>(want), 8))) << t;
    }

    EXPECT_EQ(encoded(field(FieldType::Long, 4), number("2147483647")), "ff ff ff ff");
    EXPECT_EQ(encoded(field(FieldType::Long, 4), number("-2147483647")), "00 00 00 01");
    EXPECT_EQ(encoded(field(FieldType::Long, 4), number("+0000000012")), "80 00 00 0c");   // 10 digits and a sign
    EXPECT_EQ(encoded(field(FieldType::Long, 4), number("00000000012")), "80 00 00 0c");   // 11 digits: the longer way
    EXPECT_EQ(encoded(field(FieldType::Short, 2), text("-7")), "7f f9");
    for (const char* bad : {"2147483648", "99999999999", "-", "+", ""}) {
        std::optional<std::string> error;
        encoded(field(FieldType::Long, 4), number(bad), &error);
        EXPECT_TRUE(error) << bad;
    }
}

// A double holds any decimal of up to 15 significant digits; a longer one only when the double
// read back at the decimal's last digit gives it again.
TEST(Encoding, LongDecimalsAreTakenWhenTheDoubleReadsBackAsTheSameDecimal)
{
    for (const char* exact : {"1152921504606846976", "0.10000000000000001", "4.9E-324", "1.7976931348623157E+308",
                              "1E+23", "123456789012345.00000000", "0.1000000000000000055511151231257827", "-0.000000000000000000000000000000000000001"}) {
        std::optional<std::string> error;
        encoded(field(FieldType::Money, 8), number(exact), &error);
        EXPECT_FALSE(error) << *error;
    }
    for (const char* rounded : {"9007199254740993", "1.0000000000000001", "0.1000000000000000055511151231257828"}) {
        std::optional<std::string> error;
        encoded(field(FieldType::Number, 8), number(rounded), &error);
        EXPECT_TRUE(error) << rounded;
    }
}

// A reason shows a text value as it is, control characters and broken UTF-8 escaped, so that
// the report neither ends at a NUL nor hides a character.
TEST(Encoding, ReasonsShowControlCharactersEscaped)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {std::string("a\0b", 3), "'a\\x00b' holds a NUL character"},
        {"next\xC2\x85line", "character 5 of 'next\\x85line' is not in code page 1252"},
        {"\x1B[2J\x7F\xC2\x9F\xE2\x82\xB9", "character 6 of '\\x1b[2J\\x7f\\x9f\xE2\x82\xB9' is not in code page 1252"},
        {"x\xFFy\xC3", "character 2 of 'x\\xffy\\xc3' is not in code page 1252"},
        {std::string(59, 'a') + "\x01\xC2\x85", "character 61 of '" + std::string(59, 'a') + "\\x01...' is not in code page 1252"},
    };
    for (const auto& [value, message] : cases) {
        std::optional<std::string> error;
        encoded(field(FieldType::Memo, 20), text(value), &error);
        ASSERT_TRUE(error) << value;
        EXPECT_EQ(*error, message);
    }
}

// Full-width dates are read by position, other spellings by the general reading: the two
// agree on every value and refuse the same impossible ones.
TEST(Encoding, DatesReadTheSameInEverySpelling)
{
    const Field ts = field(FieldType::Timestamp, 8), date = field(FieldType::Date, 4);
    for (const auto& [full, other] : std::vector<std::pair<std::string, std::string>>{
             {"03/04/2021 05:06:07", "3/4/2021 5:06:07"},
             {"12/31/9999 23:59:59", "9999-12-31 23:59:59"},
             {"02/29/2000 00:00:00", "2000-02-29T00:00"},
             {"01/01/0001", "1/1/0001"},
         })
        EXPECT_EQ(encoded(ts, text(full)), encoded(ts, text(other))) << full;
    EXPECT_EQ(encoded(date, text("08/31/2021")), encoded(date, text("2021-08-31")));
    for (const char* impossible : {"02/29/2021 00:00:00", "13/01/2021 00:00:00", "00/10/2021", "01/01/2021 24:00:00",
                                   "01/01/2021 23:60:00", "01/01/2021 23:00:60", "01/01/0000", "1a/01/2021", "01/01/2021x00:00:00",
                                   "01/01/202:", "01/01/2021 00:00:0:", "01/01/2021 0::00:00", "01/01/2021 00/00/00"}) {
        std::optional<std::string> error;
        encoded(ts, text(impossible), &error);
        EXPECT_TRUE(error) << impossible;
    }
}

TEST(Encoding, IntegersDoublesAndBcdDecodeToWhatWasEncoded)
{
    unsigned char b[8];
    for (std::int64_t v : {-32767LL, -1LL, 0LL, 1LL, 32767LL}) {
        encodeInt(b, 2, v);
        EXPECT_EQ(decodeInt(b, 2), v);
    }
    for (double v : {-1e300, -0.25, 0.0, 1e-300, 1.5, 63766101900000.0}) {
        encodeDouble(b, v);
        EXPECT_EQ(decodeDouble(b), v);
    }
    for (const char* v : {"-7.50", "1234.56", "0.00", "9999999999999999.99", "-123456789012345678"}) {
        const auto bcd = encodeBcd(v, std::string_view(v).find('.') == std::string_view::npos ? 0 : 2);
        ASSERT_TRUE(bcd);
        EXPECT_EQ(decodeBcd(reinterpret_cast<const unsigned char*>(bcd->data()), std::string_view(v).find('.') == std::string_view::npos ? 0 : 2), v);
    }
}

TEST(Encoding, CalendarMatchesTheProlepticGregorianDayCount)
{
    EXPECT_EQ(dayNumber(1, 1, 1), 1);
    EXPECT_EQ(dayNumber(2021, 8, 31), 738033);
    EXPECT_EQ(dayNumber(1996, 5, 4), 728783);
    EXPECT_EQ(dayNumber(100, 1, 1), 36160);
    EXPECT_EQ(dayNumber(9999, 12, 31), kMaxDay);
    for (std::int32_t day : {1, 693594, 738033, 744000, kMaxDay}) {
        int y, m, d;
        civilFromDay(day, y, m, d);
        EXPECT_EQ(dayNumber(y, m, d), day);
    }
    EXPECT_TRUE(validDate(2000, 2, 29));
    EXPECT_FALSE(validDate(1900, 2, 29));
    EXPECT_FALSE(validDate(10000, 1, 1));
}

TEST(Encoding, CodePagesRoundTripAndRefuseWhatTheyLack)
{
    const CodePage windows = CodePage::numbered(1252), dos = CodePage::numbered(437);
    std::string cp, back;
    EXPECT_FALSE(windows.fromUtf8("O'Neil \xE2\x82\xAC \xC3\xBC \xC5\xA0", cp));
    EXPECT_EQ(ptest::hex(cp), "4f 27 4e 65 69 6c 20 80 20 fc 20 8a");
    ASSERT_TRUE(windows.toUtf8(cp, back));
    EXPECT_EQ(back, "O'Neil \xE2\x82\xAC \xC3\xBC \xC5\xA0");
    EXPECT_EQ(windows.fromUtf8("ab\xE4\xB8\xAD", cp), 2u);   // a CJK character
    EXPECT_EQ(windows.fromUtf8("\xC2\x81", cp), 0u);         // U+0081 has no place in 1252
    EXPECT_EQ(windows.fromUtf8("a\xC3", cp), 1u);            // cut-off UTF-8
    // The same text in another code page has other bytes; what one lacks the other may hold.
    EXPECT_FALSE(dos.fromUtf8("\xC3\xBC \xE2\x94\x82", cp));
    EXPECT_EQ(ptest::hex(cp), "81 20 b3");
    EXPECT_EQ(dos.fromUtf8("\xE2\x82\xAC", cp), 0u);
    EXPECT_EQ(dos.name(), "code page 437");
    // Unassigned bytes and NUL read as U+FFFD; a code page without a table reads ASCII only.
    ASSERT_TRUE(windows.toUtf8(std::string("a\x81\0", 3), back));
    EXPECT_EQ(back, "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(CodePage::numbered(9999).toUtf8("\xE9", back));
    EXPECT_EQ(CodePage::numbered(9999).fromUtf8("ab\xC3\xA9", cp), 2u);
}

// Overlong forms, surrogates and code points beyond U+10FFFF are malformed for every reader
// of UTF-8 in the program: the code page conversion, case folding and the reasons' text.
TEST(Encoding, OneStrictUtf8DecoderRefusesOverlongFormsAndSurrogates)
{
    const std::vector<std::string> malformed{
        "\xC0\xAF", "\xC1\xBF", "\xE0\x82\xA0", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",   // overlong
        "\xED\xA0\x80", "\xED\xBF\xBF",                                                 // surrogates
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",                                  // beyond U+10FFFF
        "\x80", "\xC3", "\xE2\x82", "\xC3\x28",                                            // cut off or stray
    };
    const CodePage windows = CodePage::numbered(1252);
    std::string cp;
    for (const std::string& bytes : malformed) {
        EXPECT_EQ(decodeUtf8(bytes, 0).length, 0u) << ptest::hex(bytes);
        EXPECT_FALSE(validUtf8("a" + bytes)) << ptest::hex(bytes);
        EXPECT_EQ(windows.fromUtf8("a" + bytes, cp), 1u) << ptest::hex(bytes);
        EXPECT_EQ(foldCase("A" + bytes), "a" + bytes) << ptest::hex(bytes);
    }
    // An overlong NBSP would otherwise slip into a table as a real one.
    std::optional<std::string> error;
    encoded(field(FieldType::Alpha, 10), text("\xE0\x82\xA0"), &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "character 1 of '\\xe0\\x82\\xa0' is not in code page 1252");
    // The shortest forms of the boundaries are well-formed.
    for (const char* good : {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_NE(decodeUtf8(good, 0).length, 0u) << ptest::hex(good);
    EXPECT_EQ(decodeUtf8("\xF4\x8F\xBF\xBF", 0).codePoint, char32_t(0x10FFFF));
}

TEST(Encoding, CaseFoldingTakesWholeCharactersAndKeepsBrokenBytes)
{
    EXPECT_EQ(foldCase("ORDERS \xC3\x84rger \xC5\xA0koda \xC5\xB8"), "orders \xC3\xA4rger \xC5\xA1koda \xC3\xBF");
    EXPECT_EQ(foldCase("\xCE\xA3\xCF\x82\xCF\x83"), "\xCF\x83\xCF\x83\xCF\x83");     // Σ ς σ
    EXPECT_EQ(foldCase("STRA\xE1\xBA\x9E" "E"), "stra\xC3\x9F" "e");                      // ẞ is ß, not ss
    EXPECT_EQ(foldCase("\xF0\x90\x90\x80"), "\xF0\x90\x90\xA8");                         // Deseret, four bytes
    EXPECT_EQ(foldCase("\xC3\x8A \xC3\x9A"), "\xC3\xAA \xC3\xBA");                       // Ê and Ú stay apart
    EXPECT_EQ(foldCase("A\xC3" "B\xFF\xC0\x80"), "a\xC3" "b\xFF\xC0\x80");
    EXPECT_TRUE(isReservedDeviceName("com\xC2\xB9.txt"));
    EXPECT_FALSE(isReservedDeviceName("com\xC2\xB9x"));
}

TEST(Encoding, UpperCaseTakesOneCharacterToOneAndCodePointsShowBrokenBytes)
{
    // ß has no one-letter upper case and stays; ς becomes Σ; a text upper-cased folds as before.
    EXPECT_EQ(upperCase("stra\xC3\x9F" "e \xC3\xA4rger \xC5\x93uvre \xCF\x82"),
              "STRA\xC3\x9F" "E \xC3\x84RGER \xC5\x92UVRE \xCE\xA3");
    EXPECT_EQ(upperCase("\xE1\xBE\x80"), "\xE1\xBE\x88");                          // the title-case letter
    EXPECT_EQ(upperCase("\xC7\x86 \xC7\x85"), "\xC7\x84 \xC7\x84");               // dz, Dz: DZ
    EXPECT_EQ(upperCase("a\xC3" "b\xC0\x80"), "A\xC3" "B\xC0\x80");
    EXPECT_EQ(foldCase(upperCase("\xC3\xA4rger")), "\xC3\xA4rger");
    EXPECT_EQ(foldedCodePoints("\xC3\x84" "B\xFF"), (std::u32string{U'\u00E4', U'b', U'\uFFFD'}));
}

// A whole small table: CREATE TABLE "G" ("ID" INT, "Name" CHAR(3)), one primary key,
// one row (1, 'ab').
TEST(Encoding, GoldenBytesOfASmallKeyedTable)
{
    const auto folder = testsupport::freshFolder("golden");
    Database db(folder);
    db.execute(R"(CREATE TABLE "G" ("ID" INT, "Name" CHAR(3)))");
    db.execute(R"(CREATE INDEX "G" ON "G" ("ID") WITH PRIMARY)");
    db.execute(R"(INSERT INTO "G" VALUES (1, 'ab'))");
    std::string file = ptest::readFile(folder / "G.DB");
    ASSERT_EQ(file.size(), 0x800u + 0x1000u);
    for (int i = 0x60; i < 0x64; ++i) file[i] = 0;   // update time
    const std::string header = ptest::unhex(R"(
        07 00           # record size 7
        00 08           # header size 0x800
        00              # keyed table
        04              # 4 KB blocks
        01 00 00 00     # 1 record
        01 00 01 00     # blocks in use, in the file
        01 00 01 00     # first and last block
        0c 00           # keyed table marker
        00 00 00 00 00 00 00 00 00 00 00 00
        00              # no index levels in a .DB
        02 00           # 2 fields
        01 00           # 1 key field
        00 ff 00 ff     # not encrypted
        4c              # sort order DBWINUS0, binary, paired with code page 1252
        00 00 00
        02 01 00        # change counts
        00 00 00 00 00 00 00 00 00
        0b              # version 5.x
        01 00           # maximum blocks
        00 00
        1f 0f           # .DB marker
        00 00 00 00 00 00 00 00 00
        00 00 00 00     # autoincrement
        00 00 00 00
        ec 00           # header bytes in use: 0x78 + 8*2 + 4 + 79 + 8 (names) + 2*2 + 9 ("DBWINUS0")
        00 00 00 20 00
        0b 01 0b 01     # version ids
        00 00 00 00
        00 00 00 00     # update time (masked)
        03 00           # fields + 1
        87 00           # field numbers at 0x58 + 0x87
        00 00
        e4 04           # code page 1252
        01 01
        8b 00           # sort-order name at 0x58 + 0x8B
        00 00 00 00 00 00 00 00
        04 04 01 03     # fields: Long 4, Alpha 3
    )");
    EXPECT_EQ(ptest::hex(file.substr(0, header.size())), ptest::hex(header));
    const std::string names = ptest::unhex(R"(
        47 2e 44 42 00  # table name: the file name "G.DB", NUL-padded to 79 bytes
    )");
    EXPECT_EQ(ptest::hex(file.substr(0x78 + 4 + 4 + 8, 5)), ptest::hex(names));
    EXPECT_EQ(file.substr(0x78 + 16 + 79, 21), std::string("ID\0Name\0\x01\0\x02\0DBWINUS0\0", 21));
    const std::string block = ptest::unhex(R"(
        00 00           # next block: none
        00 00           # previous block: none
        00 00           # last record at offset 0
        80 00 00 01     # ID 1
        61 62 00        # Name 'ab'
    )");
    EXPECT_EQ(ptest::hex(file.substr(0x800, block.size())), ptest::hex(block));
}
