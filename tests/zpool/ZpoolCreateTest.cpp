#include "support/QtPrinters.h"
#include "zpool/PoolName.h"
#include "zpool/ZpoolCreate.h"

#include <gtest/gtest.h>

TEST(ZpoolCreate, SplitsOptionsAtHorizontalSpaceOnly)
{
    const std::pair<QString, QStringList> cases[] = {
        {"-f   -o ashift=12 ", {"-f", "-o", "ashift=12"}},
        {"   \t ", {}},
        {"\t-f\t\t-o\tashift=9", {"-f", "-o", "ashift=9"}},
        {QString::fromUtf8("-f\u00a0-o\u3000ashift=12\u2009x"), {"-f", "-o", "ashift=12", "x"}},
        {"-o a\nb -O c\r\nd", {"-o", "a\nb", "-O", "c\r\nd"}},  // line breaks are not separators
        {QString::fromUtf8("a\u2028b"), {QString::fromUtf8("a\u2028b")}},
    };
    for (const auto& [text, tokens] : cases)
        EXPECT_EQ(ZpoolCreate::splitOptionsText(text), tokens) << text.toStdString();
    EXPECT_EQ(ZpoolCreate::splitOptionsText(ZpoolCreate::DefaultOptionsText),
              ZpoolCreate::defaultOptions());
}

TEST(PoolName, OnlyNamesZfsTakesAsAPoolPass)
{
    const std::pair<const char*, bool> cases[] = {
        {"tank", true},       {"My Photos 2.0_a-b:c", true}, {"-n", false},   {"-R", false},
        {"1st", false},       {" tank", false},              {"   ", false},   {"a/b", false},
        {"caf\u00e9", false}, {"tank%1", false},             {"mirror", false}, {"raidz2x", false},
        {"draid", false},     {"spares", false},             {"log", false},  {"cache", false},
        {"logs", true},       {"c0t0d0", false},             {"cat", true},   {"", false},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(PoolName::problem(QString::fromUtf8(name)).isEmpty(), valid) << name;
    EXPECT_TRUE(PoolName::problem(QString(256, 'a')).contains("255"));
}
