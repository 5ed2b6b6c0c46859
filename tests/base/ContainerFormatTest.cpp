#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/os/ContainerFormat.h"

using namespace Vorlaq;

namespace {

// A probe as the opener reads it: `magic` at the start of the head or of the 512-byte tail, the
// rest zeros, as in an NTFS volume's own sectors.
std::vector<uint8_t> Sector(const std::string& magic, size_t at = 0) {
    std::vector<uint8_t> bytes(kContainerProbeSize);
    std::memcpy(bytes.data() + at, magic.data(), magic.size());
    return bytes;
}

ContainerFormat Detect(const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail) {
    return DetectContainerFormat(head.data(), head.size(), tail.data(), tail.size());
}

}  // namespace

TEST(ContainerFormat, EachSignatureWhereItsFormatKeepsIt) {
    const std::vector<uint8_t> none(kContainerProbeSize);
    const struct {
        std::string magic;
        ContainerFormat format;
        const wchar_t* name;
    } heads[] = {
        {std::string("EVF\x09\x0D\x0A\xFF\x00", 8), ContainerFormat::Ewf, L"E01"},
        {std::string("EVF2\x0D\x0A\x81\x00", 8), ContainerFormat::Ewf, L"E01"},
        {"vhdxfile", ContainerFormat::Vhdx, L"VHDX"},
        {"conectix", ContainerFormat::Vhd, L"VHD"},  // a dynamic VHD's copy of its footer
        {"KDMV", ContainerFormat::Vmdk, L"VMDK"},
        {"COWD", ContainerFormat::Vmdk, L"VMDK"},
        {"# Disk DescriptorFile", ContainerFormat::Vmdk, L"VMDK"},
        {"QFI\xFB", ContainerFormat::Qcow, L"QCOW"},
    };
    for (const auto& h : heads) {
        EXPECT_EQ(Detect(Sector(h.magic), none), h.format) << h.magic;
        EXPECT_STREQ(ContainerFormatName(h.format), h.name);
        // One byte late, or cut short by the file's end, it is no signature.
        EXPECT_EQ(Detect(Sector(h.magic, 1), none), ContainerFormat::None) << h.magic;
        EXPECT_EQ(DetectContainerFormat(Sector(h.magic).data(), h.magic.size() - 1, none.data(), none.size()),
                  ContainerFormat::None)
            << h.magic;
    }
    // A raw volume: its boot sector says NTFS, nothing names a container.
    EXPECT_EQ(Detect(Sector("\xEB\x52\x90NTFS    "), none), ContainerFormat::None);
    EXPECT_STREQ(ContainerFormatName(ContainerFormat::None), L"");
}

// A fixed VHD is the raw disk and then its footer: only the file's last 512 bytes name it, and
// only when they start with the signature and are all there.
TEST(ContainerFormat, FixedVhdByItsFooterAlone) {
    const std::vector<uint8_t> boot = Sector("\xEB\x52\x90NTFS    ");
    EXPECT_EQ(Detect(boot, Sector("conectix")), ContainerFormat::FixedVhd);
    EXPECT_EQ(Detect(std::vector<uint8_t>(kContainerProbeSize), Sector("conectix")), ContainerFormat::FixedVhd);
    EXPECT_STREQ(ContainerFormatName(ContainerFormat::FixedVhd), L"VHD");
    EXPECT_EQ(Detect(boot, Sector("conectix", 1)), ContainerFormat::None);
    EXPECT_EQ(Detect(boot, Sector("onectix")), ContainerFormat::None);
    std::vector<uint8_t> shortTail = Sector("conectix");
    shortTail.pop_back();  // a file shorter than a footer has none
    EXPECT_EQ(Detect(boot, shortTail), ContainerFormat::None);
    EXPECT_EQ(DetectContainerFormat(nullptr, 0, nullptr, 0), ContainerFormat::None);
}
