#pragma once
// Disk-image containers recognised by their signature, whatever the file is called: a forensic
// acquisition (E01 and its segments), a virtual disk (VHD, VHDX, VMDK, QCOW2). The POSIX build
// opens them through their libraries behind the device interface; the Windows build refuses them.
#include <cstddef>
#include <cstdint>

namespace Vorlaq {

enum class ContainerFormat { None, Ewf, Vhd, Vhdx, Vmdk, Qcow };

// Bytes the detection wants from the file's start and from its end.
constexpr size_t kContainerProbeSize = 512;

// `head` is the file's first bytes, `tail` its last 512 (a fixed VHD keeps its only footer
// there); either may be shorter when the file is.
ContainerFormat DetectContainerFormat(const uint8_t* head, size_t headSize, const uint8_t* tail, size_t tailSize);

// "E01", "VHD", "VHDX", "VMDK", "QCOW"; empty for None.
const wchar_t* ContainerFormatName(ContainerFormat format);

}  // namespace Vorlaq
