// The word processor formats the tool reads and writes besides RTF, and
// their conversion with LibreOffice run headless. The report library knows
// none of this: the tool turns a DOCX, ODT, DOC or flat ODT template into
// RTF before the library sees it, and the RTF report into DOCX, ODT or PDF
// after it is written.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interrupt_cleanup.h"

namespace tool {

enum class DocFormat { kRtf, kDocx, kOdt, kDoc, kFodt, kPdf };

// The format of a template file by its content, whatever its name says:
// a zip with word/document.xml (DOCX), a zip whose mimetype is an
// OpenDocument text (ODT), an OLE compound file (DOC), an XML
// office:document (flat ODT). Nothing for RTF and for what is none of
// these: the library says what is wrong with that.
std::optional<DocFormat> WordProcessorFormatOf(std::string_view bytes);

// "docx", "odt", ... : the file name extension and the name --to takes.
const char* ExtensionOf(DocFormat format);
// "DOCX", "ODT", ... : as messages name the format.
const char* DisplayNameOf(DocFormat format);
// The output format --to or an extension names ("rtf", "docx", "odt",
// "pdf", any case), or nothing.
std::optional<DocFormat> OutputFormatNamed(std::string_view name);

// The first LibreOffice launcher on PATH (soffice, libreoffice), or "".
std::string FindOffice();
// The launcher, or raises qx::Exception "`what` needs LibreOffice ...",
// naming the package that brings it, with `after` at the end.
std::string RequireOffice(const std::string& what, const std::string& after = "");

// What names the LibreOffice installation behind the launcher `office`
// (its build identification and when it was installed), so that a
// conversion cached by one version is not taken for another's. Reads
// files only: LibreOffice is not started.
std::string OfficeBuildOf(const std::string& office);

// A directory of its own under the temporary directory, removed with
// everything in it when it goes, or when an interrupt ends the tool.
class PrivateDir {
  public:
    explicit PrivateDir(const std::string& purpose);
    ~PrivateDir();
    PrivateDir(const PrivateDir&) = delete;
    PrivateDir& operator=(const PrivateDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

  private:
    std::filesystem::path FPath;
    std::unique_ptr<InterruptCleanup> FCleanup;  // removes it all on SIGINT, SIGTERM, SIGHUP
};

// What one LibreOffice start made of a group of files.
struct OfficeConversion {
    // For each input, in order, the converted file in the output folder, or
    // an empty path when LibreOffice did not write it.
    std::vector<std::filesystem::path> produced;
    // The last line LibreOffice printed, to say why when a file is missing.
    std::string detail;
};

// Converts every file of `inputs` (absolute paths whose stems differ) to
// `format` into `outDir` with one start of LibreOffice `office`, in a
// profile of its own under `work` so that it runs beside an open
// LibreOffice and beside other conversions.
OfficeConversion ConvertWithOffice(const std::string& office,
                                   const std::vector<std::filesystem::path>& inputs,
                                   DocFormat format, const std::filesystem::path& outDir,
                                   const std::filesystem::path& work);

// Converts `input` to `format` in the file `destination` with one start of
// LibreOffice `office`, working in `work`; raises qx::Exception with
// LibreOffice's reason when it does not.
void ConvertFileTo(const std::string& office, const std::string& input, DocFormat format,
                   const std::string& destination, const std::filesystem::path& work);

// Converts the finished report `rtfFile` to `target` in `format`, written
// whole beside its name and renamed into place. `what` names the option
// that asked for it in the message about a missing LibreOffice.
void ConvertReport(const std::string& rtfFile, const std::string& target, DocFormat format,
                   const std::string& what);

}  // namespace tool
