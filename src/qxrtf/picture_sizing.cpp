// Reading picture sizes and borders from text.
#include "qxrtf/picture_sizing.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"

namespace qx {

namespace {

struct Unit {
    std::string_view name;
    double mm;
};
constexpr Unit kUnits[] = {{"mm", 1}, {"cm", 10}, {"in", 25.4}, {"pt", 25.4 / 72}};

// The border styles by name, in the order of TQxImageBorderType.
constexpr std::string_view kBorderStyles[] = {"none",   "single", "double",  "thick",
                                              "shadow", "dotted", "hairline"};

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

// A number followed by `rest`; none when the text does not start with one.
std::optional<double> Number(std::string_view text, std::string_view& rest) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || !(value >= 0)) return std::nullopt;
    rest = text.substr(static_cast<std::size_t>(end - text.data()));
    return value;
}

class SizingReader {
  public:
    explicit SizingReader(const std::string& text) { FSizing.text = text; }

    TQxPictureSizing Read() {
        if (FSizing.text.empty()) Fail("nothing is given");
        for (std::string_view part : Split(FSizing.text, ',')) ReadPart(part);
        return FSizing;
    }

  private:
    [[noreturn]] void Fail(const std::string& why) const {
        throw Exception("Picture format \"" + FSizing.text + "\": " + why);
    }

    void ReadPart(std::string_view part) {
        if (part.starts_with("border=")) return ReadBorder(part.substr(7));
        if (part.starts_with("width=")) return void(FSizing.widthMm = Length(part.substr(6)));
        if (part.starts_with("height=")) return void(FSizing.heightMm = Length(part.substr(7)));
        if (part.ends_with('%')) return ReadScale(part);
        const std::vector<std::string_view> sides = Split(part, 'x');
        if (sides.size() > 2) Fail(NotUnderstood(part));
        FSizing.widthMm = Length(sides[0]);
        if (sides.size() == 2) FSizing.heightMm = Length(sides[1]);
    }

    static std::string NotUnderstood(std::string_view part) {
        return "\"" + std::string(part) +
               "\" is not a size (a number with mm, cm, in or pt), a scale (a number with %), "
               "width=, height= or border=";
    }

    double Length(std::string_view text) const {
        std::string_view unit;
        const std::optional<double> number = Number(text, unit);
        for (const Unit& u : kUnits)
            if (number && *number > 0 && unit == u.name) return *number * u.mm;
        Fail(NotUnderstood(text));
    }

    void ReadScale(std::string_view part) {
        std::string_view rest;
        const std::optional<double> number = Number(part, rest);
        if (!number || rest != "%" || *number < 1 || *number > 65535)
            Fail("\"" + std::string(part) + "\" is not a scale from 1% to 65535%");
        FSizing.scale = static_cast<std::uint16_t>(*number + 0.5);
    }

    // STYLE[:WIDTH[pt]][:COLOUR INDEX]; the width is 1 point unless given.
    void ReadBorder(std::string_view text) {
        const std::vector<std::string_view> fields = Split(text, ':');
        TQxImageBorder border{ibtNone, 1, 0};
        bool known = false;
        for (std::size_t i = 0; i < std::size(kBorderStyles); ++i)
            if (fields[0] == kBorderStyles[i]) {
                border.BrType = static_cast<TQxImageBorderType>(i);
                known = true;
            }
        if (!known)
            Fail("unknown border style \"" + std::string(fields[0]) +
                 "\" (none, single, double, thick, shadow, dotted, hairline)");
        if (fields.size() > 1) {
            std::string_view unit;
            const std::optional<double> width = Number(fields[1], unit);
            if (!width || (unit != "pt" && !unit.empty()) || *width > 3.5)
                Fail("\"" + std::string(fields[1]) + "\" is not a border width from 0 to 3.5pt");
            border.Width = static_cast<float>(*width);
        }
        if (fields.size() > 2) {
            std::string_view rest;
            const std::optional<double> color = Number(fields[2], rest);
            if (!color || !rest.empty() || *color > 65535 || *color != static_cast<int>(*color))
                Fail("\"" + std::string(fields[2]) + "\" is not a colour number of the template");
            border.ColorIndex = static_cast<std::uint16_t>(*color);
        }
        if (fields.size() > 3) Fail("a border is STYLE:WIDTH:COLOUR");
        FSizing.border = border;
    }

    TQxPictureSizing FSizing;
};

}  // namespace

TQxPictureSizing ParsePictureSizing(const std::string& text) {
    return SizingReader(text).Read();
}

void TQxPictureSizing::ApplyTo(TQxImageFormat& format) const {
    const bool proportional = format.Proportional();
    format.SetProportional(true);
    if (scale > 0) format.SetScaleX(scale);
    if (widthMm > 0 && heightMm > 0) format.SetProportional(false);
    if (widthMm > 0) format.SetSizeXmm(widthMm);
    if (heightMm > 0) format.SetSizeYmm(heightMm);
    format.SetProportional(proportional);
    if (border) format.SetBorder(*border);
}

}  // namespace qx
