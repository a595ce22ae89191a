// What LibreOffice's PDF of a report shows of its pictures, read with
// poppler's pdfimages.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace qxtest {

// What pdfimages lists for one image: its shown size in inches.
struct ShownImage {
    double widthInches, heightInches;
};

inline std::vector<ShownImage> ImagesOf(const std::string& pdf) {
    std::vector<ShownImage> images;
    FILE* pipe = popen(("pdfimages -list '" + pdf + "' 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return images;
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
    pclose(pipe);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream cols(line);
        std::vector<std::string> c;
        for (std::string w; cols >> w;) c.push_back(w);
        // page num type width height color comp bpc enc interp object ID x-ppi y-ppi ...
        if (c.size() < 14 || c[2] != "image") continue;
        images.push_back({std::stod(c[3]) / std::stod(c[12]), std::stod(c[4]) / std::stod(c[13])});
    }
    return images;
}

}  // namespace qxtest
