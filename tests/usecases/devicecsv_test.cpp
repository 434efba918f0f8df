// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/devicecsv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/devicelist.h"
#include "wording/wording.h"

namespace kavren::usecases {
namespace {

TEST(DeviceCsv, QuotesOnlyWhereNeededAndWritesLatin1AsUtf8) {
    std::string out;
    appendCsvField(out, "plain 100%s <b>");
    out += '|';
    appendCsvField(out, "a,b");
    out += '|';
    appendCsvField(out, "say \"hi\"");
    out += '|';
    appendCsvField(out, "two\r\nlines");
    out += '|';
    appendCsvField(out, "\xE9\x80\xFF");
    out += '|';
    appendCsvField(out, "\"");
    EXPECT_EQ(out,
              "plain 100%s <b>|\"a,b\"|\"say \"\"hi\"\"\"|\"two\r\nlines\"|"
              "\xC3\xA9\xC2\x80\xC3\xBF|\"\"\"\"");
}

// Texts from the network must not run as formulas in a spreadsheet, and the
// plan reader must get every value back, apostrophes of its own included.
TEST(DeviceCsv, FormulaLeadingFieldsAreTextAndReadBackExactly) {
    const struct {
        std::string value;
        std::string written;
    } cases[] = {
        {"=1+2", "'=1+2"},
        {"+x", "'+x"},
        {"-5", "'-5"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"=HYPERLINK(\"u\",\"t\")", "\"'=HYPERLINK(\"\"u\"\",\"\"t\"\")\""},
        {"'", "''"},
        {"'=x", "''=x"},
        {"'abc", "''abc"},
        {"a=b", "a=b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string line;
        appendCsvField(line, c.value);
        EXPECT_EQ(line, c.written) << c.value;
        line += ",end\r\n";
        const CsvRecords read = readCsvRecords(line);
        ASSERT_TRUE(read.errors.empty()) << c.value;
        ASSERT_EQ(read.records.size(), 1U) << c.value;
        EXPECT_EQ(read.records[0].fields, (std::vector<std::string>{c.value, "end"})) << c.value;
    }
    // Written by hand: an apostrophe before an ordinary character is kept.
    EXPECT_EQ(readCsvRecords("'abc,'\n").records.at(0).fields,
              (std::vector<std::string>{"'abc", "'"}));
}

// A broken quote would swallow the rest of the text into one field.
TEST(DeviceCsv, BrokenQuotesAreErrorsNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"a,b\nc,\"d\ne,f\ng,h\n", "line 2: the quote opened here is never closed"},
        {"a,b\nc,d\"e\n", "line 2: a quote inside a field that is not quoted"},
        {"\"a\nb\",c\n\"d\" ,e\n", "line 3: text after a closing quote"},
    };
    for (const auto& c : cases) {
        const CsvRecords read = readCsvRecords(c.text);
        ASSERT_EQ(read.errors.size(), 1U) << c.text;
        EXPECT_EQ(wording::csvErrorText(read.errors[0]), c.error) << c.text;
    }
    const CsvRecords good = readCsvRecords("\"a\nb\",\"\"\"\"\r\n\r\n,\n\"\"");
    EXPECT_TRUE(good.errors.empty());
    ASSERT_EQ(good.records.size(), 3U);
    EXPECT_EQ(good.records[0].fields, (std::vector<std::string>{"a\nb", "\""}));
    EXPECT_EQ(good.records[1].line, 4);
    EXPECT_EQ(good.records[1].fields, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(good.records[2].fields, std::vector<std::string>{""});
}

TEST(DeviceCsv, HeaderAndColumnsForEachFrontEnd) {
    const DeviceCsvRecord device{.mac = "02-00-00-00-00-01",
                                 .name = "n",
                                 .version = "v",
                                 .deviceIp = "10.0.0.1",
                                 .mask = "255.0.0.0",
                                 .gateway = "10.0.0.254",
                                 .description = "d",
                                 .foundVia = "10.0.0.5",
                                 .sender = "10.0.0.1"};
    const struct {
        DeviceCsvColumns columns;
        std::string csv;
    } cases[] = {
        {DeviceCsvColumns::All,
         "mac,name,version,ip,mask,gateway,description,found_via,sender\r\n"
         "02-00-00-00-00-01,n,v,10.0.0.1,255.0.0.0,10.0.0.254,d,10.0.0.5,10.0.0.1\r\n"},
        {DeviceCsvColumns::WithoutDiscoveryPath,
         "mac,name,version,ip,mask,gateway,description\r\n"
         "02-00-00-00-00-01,n,v,10.0.0.1,255.0.0.0,10.0.0.254,d\r\n"},
    };
    for (const auto& c : cases) {
        std::string csv;
        appendDeviceCsvHeader(csv, c.columns);
        appendDeviceCsvLine(csv, device, c.columns);
        EXPECT_EQ(csv, c.csv);
    }
}

TEST(DeviceCsv, TheGridsDeviceRowsWithoutThePasswordOrNewAddress) {
    devices::DeviceList list(16);
    EXPECT_EQ(listedDevicesCsv(list), "mac,name,version,ip,mask,gateway,description\r\n");
    list.append({.mac = "02-00-00-00-00-01",
                 .name = "A,B",
                 .version = "1",
                 .deviceIp = *protocol::Ipv4Address::parse("10.0.0.1"),
                 .mask = *protocol::Ipv4Address::parse("255.0.0.0"),
                 .gateway = *protocol::Ipv4Address::parse("10.0.0.254"),
                 .description = "x"});
    list.setField(devices::DeviceField::NewPassword, 1, "secret");
    list.setField(devices::DeviceField::Ip, 1, "10.0.0.77");
    list.setField(devices::DeviceField::Description, 1, "typed");
    EXPECT_EQ(listedDevicesCsv(list),
              "mac,name,version,ip,mask,gateway,description\r\n"
              "02-00-00-00-00-01,\"A,B\",1,10.0.0.1,255.0.0.0,10.0.0.254,typed\r\n");
}

}  // namespace
}  // namespace kavren::usecases
