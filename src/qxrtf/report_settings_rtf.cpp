// The report component's own published properties in the settings
// document, beside those of the report core.
#include <charconv>
#include <nlohmann/json.hpp>

#include "conscom/internal/tables.h"
#include "platform/exceptions.h"
#include "qxrtf/internal/image_root.h"
#include "qxrtf/internal/report_setup.h"
#include "qxrtf/qxrtf.h"

namespace qx {

void TQxRTF::SaveSettings(nlohmann::json& doc) const {
    TQxBaseReport::SaveSettings(doc);
    doc["Name"] = Name();
    doc["Charset"] = FCharset;
    doc["Lang"] = FLang;
    nlohmann::json options = nlohmann::json::array();
    for (std::size_t i = 0; i < std::size(kQxRTFOptionNames); ++i)
        if (FOptions.Contains(static_cast<TQxRTFOption>(i)))
            options.push_back(kQxRTFOptionNames[i]);
    doc["Options"] = std::move(options);
    doc["DisableControls"] = FDisableControls;
    doc["MaxScanRepetitions"] = FMaxScanRepetitions;
    doc["MaxEvaluationSteps"] = FMaxEvaluationSteps;
    doc["ImageRoot"] = FImageRoot;
    doc["PictureForm"] = FPictureForm == TQxPictureForm::Metafile ? "metafile" : "native";
    nlohmann::json pictures = nlohmann::json::object();
    for (const auto& [index, sizing] : FPictureSizings)
        pictures[std::to_string(index)] = sizing.text;
    doc["Pictures"] = std::move(pictures);
}

namespace {

// "native" or "metafile".
std::optional<TQxPictureForm> PictureFormFromName(const nlohmann::json& name) {
    if (name == "native") return TQxPictureForm::Native;
    if (name == "metafile") return TQxPictureForm::Metafile;
    return std::nullopt;
}

}  // namespace

std::optional<TQxPictureForm> PictureFormNamed(const std::string& name) {
    return PictureFormFromName(nlohmann::json(name));
}

int PictureFormatIndex(const std::string& text) {
    int index = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec != std::errc() || end != text.data() + text.size() || index < 0)
        throw Exception("\"" + text + "\" is not a picture format index (0 or more)");
    return index;
}

void TQxRTF::LoadSettings(const nlohmann::json& doc) {
    // Everything is read and checked first, so a bad document changes nothing.
    const auto fail = [](const std::string& what) { throw Exception("Settings: " + what); };
    const auto number = [&](const char* key, unsigned max) -> std::optional<unsigned> {
        if (!doc.contains(key)) return std::nullopt;
        const nlohmann::json& v = doc.at(key);
        if (!v.is_number_unsigned() || v.get<std::uint64_t>() > max)
            fail(std::string(key) + " must be a number from 0 to " + std::to_string(max));
        return static_cast<unsigned>(v.get<std::uint64_t>());
    };
    const std::optional<unsigned> charset = number("Charset", 255);
    const std::optional<unsigned> lang = number("Lang", 65535);
    std::optional<TQxRTFOptions> options;
    if (doc.contains("Options")) {
        if (!doc.at("Options").is_array()) fail("Options must be a list of option names");
        TQxRTFOptions set;
        for (const nlohmann::json& name : doc.at("Options")) {
            TQxRTFOption option{};
            if (!name.is_string() || !RTFOptionFromName(name.get<std::string>(), option))
                fail("unknown RTF option " + name.dump());
            set.Include(option);
        }
        options = set;
    }
    if (doc.contains("DisableControls") && !doc.at("DisableControls").is_boolean())
        fail("DisableControls must be true or false");
    if (doc.contains("Name") && !doc.at("Name").is_string()) fail("Name must be a text");
    const std::optional<std::int64_t> maxRepetitions = LimitSetting(doc, "MaxScanRepetitions");
    const std::optional<std::int64_t> maxSteps = LimitSetting(doc, "MaxEvaluationSteps");
    if (doc.contains("ImageRoot") && !doc.at("ImageRoot").is_string())
        fail("ImageRoot must be a text");
    std::optional<TQxPictureForm> pictureForm;
    if (doc.contains("PictureForm") && !(pictureForm = PictureFormFromName(doc.at("PictureForm"))))
        fail("PictureForm must be \"native\" or \"metafile\"");
    std::optional<std::map<int, TQxPictureSizing>> pictures;
    if (doc.contains("Pictures")) {
        if (!doc.at("Pictures").is_object())
            fail("Pictures must be an object of format indexes and picture formats");
        pictures.emplace();
        for (const auto& [key, value] : doc.at("Pictures").items()) {
            if (!value.is_string()) fail("Pictures: the format of " + key + " must be a text");
            try {
                (*pictures)[PictureFormatIndex(key)] = ParsePictureSizing(value.get<std::string>());
            } catch (const Exception& e) {
                fail(std::string("Pictures: ") + e.what());
            }
        }
    }

    TQxBaseReport::LoadSettings(doc);
    if (doc.contains("Name")) SetName(doc.at("Name").get<std::string>());
    if (charset) SetCharset(static_cast<std::uint8_t>(*charset));
    if (lang) SetLang(static_cast<std::uint16_t>(*lang));
    if (options) SetOptions(*options);
    if (doc.contains("DisableControls")) SetDisableControls(doc.at("DisableControls").get<bool>());
    if (maxRepetitions) SetMaxScanRepetitions(StricterLimit(FMaxScanRepetitions, *maxRepetitions));
    if (maxSteps) SetMaxEvaluationSteps(StricterLimit(FMaxEvaluationSteps, *maxSteps));
    if (doc.contains("ImageRoot")) LoadImageRoot(doc.at("ImageRoot").get<std::string>());
    if (pictureForm) SetPictureForm(*pictureForm);
    if (pictures) FPictureSizings = std::move(*pictures);
}

void TQxRTF::LoadImageRoot(const std::string& root) {
    // Like the limits: a document may confine pictures to a folder inside
    // the application's image root, never widen or drop it.
    if (FImageRoot.empty() || (!root.empty() && FolderWithin(FImageRoot, root))) SetImageRoot(root);
}

}  // namespace qx
