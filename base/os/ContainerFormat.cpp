#include "base/os/ContainerFormat.h"

#include <cstring>

namespace Vorlaq {

namespace {

bool StartsWith(const uint8_t* bytes, size_t size, const char* magic, size_t magicSize) {
    return bytes && size >= magicSize && std::memcmp(bytes, magic, magicSize) == 0;
}

template <size_t N>
bool StartsWith(const uint8_t* bytes, size_t size, const char (&magic)[N]) {
    return StartsWith(bytes, size, magic, N - 1);  // without the literal's terminating zero
}

}  // namespace

ContainerFormat DetectContainerFormat(const uint8_t* head, size_t headSize, const uint8_t* tail, size_t tailSize) {
    // EWF version 1 and 2 segment files.
    if (StartsWith(head, headSize, "EVF\x09\x0D\x0A\xFF", 8) || StartsWith(head, headSize, "EVF2\x0D\x0A\x81", 8))
        return ContainerFormat::Ewf;
    if (StartsWith(head, headSize, "vhdxfile")) return ContainerFormat::Vhdx;
    // Dynamic and differencing VHDs copy their footer to the start; a fixed one has it only at
    // the end, after the raw disk.
    if (StartsWith(head, headSize, "conectix")) return ContainerFormat::Vhd;
    if (tailSize == kContainerProbeSize && StartsWith(tail, tailSize, "conectix")) return ContainerFormat::Vhd;
    // A sparse extent (hosted or ESX) or the text descriptor of a split disk.
    if (StartsWith(head, headSize, "KDMV") || StartsWith(head, headSize, "COWD") ||
        StartsWith(head, headSize, "# Disk DescriptorFile"))
        return ContainerFormat::Vmdk;
    if (StartsWith(head, headSize, "QFI\xFB")) return ContainerFormat::Qcow;
    return ContainerFormat::None;
}

const wchar_t* ContainerFormatName(ContainerFormat format) {
    switch (format) {
    case ContainerFormat::Ewf: return L"E01";
    case ContainerFormat::Vhd: return L"VHD";
    case ContainerFormat::Vhdx: return L"VHDX";
    case ContainerFormat::Vmdk: return L"VMDK";
    case ContainerFormat::Qcow: return L"QCOW";
    case ContainerFormat::None: break;
    }
    return L"";
}

}  // namespace Vorlaq
