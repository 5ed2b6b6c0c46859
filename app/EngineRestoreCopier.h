#pragma once
// The restore's copies through the engine, with the rule every front end follows for a file that
// fails (RemoveEmptyFailure: nothing stays of one that got none of its bytes; one that got some
// stays and says how much it holds). Files are read through the scan's source, opened once for
// the scan and every restore after it; another volume is opened for its copy.
#include <atomic>
#include <utility>

#include "app/RestoreFlow.h"
#include "scan/VolumeSource.h"

namespace Vorlaq {

class EngineRestoreCopier : public RestoreCopier {
public:
    // `stop`, when given, ends a copy between two reads.
    explicit EngineRestoreCopier(VolumeSource scanned, const std::atomic<bool>* stop = nullptr)
        : scanned_(std::move(scanned)), stop_(stop) {}

    FileRestoreResult Restore(const std::wstring& volume, uint64_t recordNumber,
                              const std::wstring& destination) override;
    FileRestoreResult RestoreInto(const std::wstring& volume, uint64_t recordNumber, const std::wstring& folder,
                                  const std::wstring& name) override;

private:
    VolumeSource SourceOf(const std::wstring& volume) const;

    const VolumeSource scanned_;
    const std::atomic<bool>* stop_;
};

}  // namespace Vorlaq
