// SPDX-License-Identifier: GPL-3.0-or-later
#include "usecases/devicecsv.h"

#include <gtest/gtest.h>

#include <string>

#include "devices/devicegrid.h"

namespace kavren {
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

TEST(DeviceCsv, HeaderAndColumnsForEachFrontEnd) {
    const DeviceCsvRecord device{.mac = "02-00-00-00-00-01",
                                 .name = "n",
                                 .version = "v",
                                 .ip = "10.0.0.1",
                                 .mask = "255.0.0.0",
                                 .gateway = "10.0.0.254",
                                 .description = "d",
                                 .foundVia = "10.0.0.5",
                                 .sender = "10.0.0.1"};
    std::string all;
    appendDeviceCsvHeader(all, DeviceCsvColumns::All);
    appendDeviceCsvLine(all, device, DeviceCsvColumns::All);
    EXPECT_EQ(all,
              "mac,name,version,ip,mask,gateway,description,found_via,sender\r\n"
              "02-00-00-00-00-01,n,v,10.0.0.1,255.0.0.0,10.0.0.254,d,10.0.0.5,10.0.0.1\r\n");
    std::string grid;
    appendDeviceCsvHeader(grid, DeviceCsvColumns::WithoutDiscoveryPath);
    appendDeviceCsvLine(grid, device, DeviceCsvColumns::WithoutDiscoveryPath);
    EXPECT_EQ(grid,
              "mac,name,version,ip,mask,gateway,description\r\n"
              "02-00-00-00-00-01,n,v,10.0.0.1,255.0.0.0,10.0.0.254,d\r\n");
}

TEST(DeviceCsv, TheGridsDeviceRowsWithoutThePasswordOrNewAddress) {
    DeviceGrid grid(16);
    grid.setUp();
    EXPECT_EQ(gridDevicesCsv(grid), "mac,name,version,ip,mask,gateway,description\r\n");
    grid.appendDeviceRow({.mac = "02-00-00-00-00-01",
                          .name = "A,B",
                          .version = "1",
                          .deviceIp = "10.0.0.1",
                          .ip = "10.0.0.1",
                          .mask = "255.0.0.0",
                          .gateway = "10.0.0.254",
                          .description = "x"});
    grid.setCell(DeviceGrid::ColNewPassword, 1, "secret");
    grid.setCell(DeviceGrid::ColIp, 1, "10.0.0.77");
    grid.setCell(DeviceGrid::ColDescription, 1, "typed");
    EXPECT_EQ(gridDevicesCsv(grid),
              "mac,name,version,ip,mask,gateway,description\r\n"
              "02-00-00-00-00-01,\"A,B\",1,10.0.0.1,255.0.0.0,10.0.0.254,typed\r\n");
}

}  // namespace
}  // namespace kavren
