// Construction, template input, output plumbing and the UDFList link.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "conscom/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/internal/os.h"
#include "platform/internal/write_behind_file.h"
#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/command_stream.h"
#include "qxfunc/udf_list.h"

namespace qx {

TQxBaseReport::TQxBaseReport(TComponent* owner) : TComponent(owner), FCmLastId(CmKind::Begin) {}

TQxBaseReport::~TQxBaseReport() {
    FreeTmpStream();
    FreePFile();
    FCmStrings.clear();
    FreeTemplate();
    if (FUDFList != nullptr) RemoveFreeNotification(FUDFList);
}

void TQxBaseReport::SetInFile(const std::string& value) {
    if (value == FInFile) return;
    FTmLoaded = false;
    FInFile = value;
}

void TQxBaseReport::SetOutFile(const std::string& value) {
    FOutFile = value;
}
void TQxBaseReport::SetTrueValue(const std::string& value) {
    FTrueValue = value;
}
void TQxBaseReport::SetFalseValue(const std::string& value) {
    FFalseValue = value;
}

void TQxBaseReport::SetCodePage(int value) {
    FCodePageSet = true;
    FCodePage = value;
}

const TCodePageCodec& TQxBaseReport::Codec() {
    // One codec per code page: remade only when a template or a setting
    // changes the page.
    if (!FCodec || FCodec->CodePage() != OutputCodePage())
        FCodec = TCodePageCodec::Shared(OutputCodePage());
    return *FCodec;
}

void TQxBaseReport::SetUDFList(TQxUDFList* value) {
    if (value == FUDFList) return;
    if (FExecute) throw EIllegalFunctionUse("Can't set UDFList while executing report");
    if (value != nullptr && value->Version() != Version())
        throw EIllegalFunctionUse("TQxRTF version " + std::to_string(Version()) +
                                  " doesn't equal TQxUDFList version " +
                                  std::to_string(value->Version()));
    if (FUDFList != nullptr) RemoveFreeNotification(FUDFList);
    FUDFList = value;
    if (value != nullptr) FreeNotification(value);
}

void TQxBaseReport::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr &&
        component == static_cast<TComponent*>(FUDFList))
        FUDFList = nullptr;
}

bool TQxBaseReport::ZeroOut(const std::string& s) {
    for (char c : s)
        if (c >= '1' && c <= '9') return false;
    return true;
}

// ---- template input -------------------------------------------------------

void TQxBaseReport::SetTemplateBuffer(TQxTemplateBuffer buffer, std::int32_t size) {
    if (FExecute) throw EIOError("Can't set template while executing report");
    const std::int64_t available = buffer ? static_cast<std::int64_t>(buffer->size()) : 0;
    FPFileHolder = std::move(buffer);
    FPFile = FPFileHolder ? FPFileHolder->data() : nullptr;
    Flent = static_cast<std::int32_t>(std::clamp<std::int64_t>(size, 0, available));
    FTmLoaded = true;
    FInFile.clear();
}

void TQxBaseReport::SetTemplateBuffer(std::vector<std::uint8_t> bytes) {
    auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    const auto size = static_cast<std::int64_t>(shared->size());
    SetTemplateBuffer(std::move(shared),
                      static_cast<std::int32_t>(std::min<std::int64_t>(size, INT32_MAX)));
}

void TQxBaseReport::ReadFileBody() {
    Fpnt = 1;
    if (FTmLoaded) return;
    struct stat st {};
    if (::stat(FInFile.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        throw EIOError("Can't read file " + FInFile);
    // Positions in the template are 32-bit; a larger file cannot be a template.
    if (st.st_size > INT32_MAX) throw EIOError("Can't read report template from file: " + FInFile);
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(st.st_size));
    std::int64_t read = 0;
    try {
        TFileStream file(FInFile, TFileMode::fmOpenRead);
        read = file.Read(bytes->data(), st.st_size);
    } catch (const EStreamError&) {
        throw EIOError("Can't read file " + FInFile);
    }
    FPFileHolder = std::move(bytes);
    FPFile = FPFileHolder->data();
    Flent = static_cast<std::int32_t>(read);
    if (read < st.st_size) throw EIOError("Can't read report template from file: " + FInFile);
}

void TQxBaseReport::FreePFile() {
    FPFileHolder.reset();
    FPFile = nullptr;
    Flent = -1;
}

void TQxBaseReport::FreeTemplate() {
    if (!FTmLoaded) return;
    FreePFile();
    FTmLoaded = false;
    Fpnt = 1;
    Flent = -1;
}

// ---- output plumbing --------------------------------------------------------

void TQxBaseReport::SetOutf() {
    if (FUseStream) {
        FOutStreamPosition = FOutStream->Position();
        FOutStreamSize = FOutStream->Size();
        FOutStream->Seek(0, TSeekOrigin::soBeginning);
        FOutf = FOutStream;
        return;
    }
    FOutfOwned = std::make_unique<TWriteBehindFile>(FOutFile);
    FOutf = FOutfOwned.get();
    FOutfCreated = true;
}

void TQxBaseReport::FreeOutf() {
    if (FUseStream) {
        if (FOutf != nullptr && FOutf == FOutStream) FOutStream->Seek(0, TSeekOrigin::soBeginning);
        return;
    }
    if (FOutfCreated && FOutfOwned) {
        if (FOutf == FOutfOwned.get()) FOutf = nullptr;
        FOutfOwned.reset();
        FOutfCreated = false;
    }
}

void TQxBaseReport::RestoreCallerStream() {
    if (!FUseStream || FOutf != FOutStream || FOutStream == nullptr) return;
    FOutf = nullptr;
    // Bytes written over the old content cannot come back; what grew is cut.
    try {
        if (FOutStream->Size() > FOutStreamSize) FOutStream->SetSize(FOutStreamSize);
        FOutStream->SetPosition(FOutStreamPosition);
    } catch (const Exception&) {
        // The run's own error is the one the caller hears about.
    }
}

void TQxBaseReport::CloseOutf() {
    if (FUseStream || !FOutfCreated || !FOutfOwned) return;
    FOutfOwned->Close();
}

void TQxBaseReport::CreateTmpStream() {
    FBytesWritten = 0;
    FTmpStream.reset();
    FTmpFileName.clear();
    if (FUseStream && dynamic_cast<TMemoryStream*>(FOutStream) != nullptr) {
        FTmpStream = std::make_unique<TMemoryStream>();
        return;
    }
    FTmpFileName = CreateTmpFileName("qxr");
    FTmpStream = std::make_unique<TWriteBehindFile>(FTmpFileName);
}

void TQxBaseReport::FreeTmpStream() {
    if (FOutf == FTmpStream.get()) FOutf = nullptr;
    FTmpStream.reset();
    if (!FTmpFileName.empty()) {
        DeleteFile(FTmpFileName);
        FTmpFileName.clear();
    }
}

std::string TQxBaseReport::CreateTmpFileName(const std::string& prefix) {
    return CreateTempFile(prefix);
}

namespace {
// Eight bytes at a time: every value and markup written is scanned.
bool IsAscii(std::string_view s) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, s.data() + i, 8);
        high |= word;
    }
    for (; i < s.size(); ++i) high |= static_cast<unsigned char>(s[i]);
    return (high & kHighBits) == 0;
}
}  // namespace

void TQxBaseReport::wr(const std::string& s) {
    if (s.empty()) return;
    // Callers nearly always pass 7-bit RTF, which every code page writes as
    // it is: no conversion, no copy.
    if (IsAscii(s) && Codec().SingleByte()) {
        CountOutput(static_cast<std::int64_t>(s.size()));
        FOutf->WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
        return;
    }
    // The whole encoded text is written, so that a multi-byte code page
    // never loses the tail of a text.
    const std::string bytes = Codec().EncodeRtf(s);
    CountOutput(static_cast<std::int64_t>(bytes.size()));
    FOutf->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TQxBaseReport::wrBlock(const std::uint8_t* data, std::int32_t start, std::int32_t count) {
    if (count <= 0) return;
    CountOutput(count);
    FOutf->WriteBuffer(data + start, count);
}

void TQxBaseReport::OutputLimitExceeded() {
    throw EIOError("Report output larger than " + std::to_string(FMaxOutputSize) + " bytes");
}

std::uintptr_t TQxBaseReport::ShellOpenFile(const std::string& fileName, std::int32_t showCmd) {
    return ShellOpen(fileName, showCmd);
}

}  // namespace qx
