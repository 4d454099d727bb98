#include "core/factory.h"

#include "core/pm_fields.h"
#include "platform/net.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace {

const char kFactoryText[] =
#include "../../data/factory_values.txt"
    ;

uint8_t* imageOf(FactoryImage& img, Image which) {
    switch (which) {
    case Image::PM: return img.pm;
    case Image::PMI: return img.pmi;
    case Image::VP: return img.vp;
    case Image::CUSTWIN: return img.custWin;
    case Image::PREV_FORMAT: return img.prevOutFormat;
    case Image::MODEL: return img.modelName;
    case Image::SERIAL: return img.serialNumber;
    }
    return nullptr;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

}  // namespace

bool parseFactoryText(std::string_view text, FactoryImage& out, std::string* error) {
    out = FactoryImage{};
    std::set<std::string_view> seen;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "factory values, line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        ++lineNo;
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        line = trim(line);
        if (line.empty()) continue;
        std::vector<std::string_view> w = words(line);
        const ImageField* f = findImageField(w[0]);
        if (f == nullptr) return fail("unknown field '" + std::string(w[0]) + "'");
        if (!seen.insert(w[0]).second) return fail("field '" + std::string(w[0]) + "' named twice");
        uint8_t* img = imageOf(out, f->image);
        if (f->image == Image::MODEL) {
            std::string_view name = trim(line.substr(w[0].size()));
            if (name.empty() || name.size() > f->count) return fail("the model name takes 1 to 9 characters");
            std::memcpy(img, name.data(), name.size());
            continue;
        }
        size_t n = w.size() - 1;
        if (n != 1 && n != f->count)
            return fail(std::string(f->name) + " takes 1 or " + std::to_string(f->count) + " values");
        for (int i = 0; i < f->count; ++i) {
            std::string_view v = w[1 + (n == 1 ? 0 : i)];
            int64_t value = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
            if (ec != std::errc() || end != v.data() + v.size())
                return fail("'" + std::string(v) + "' is not a number");
            if (!fieldHolds(*f, value)) return fail("'" + std::string(v) + "' does not fit " + f->name);
            writeField(img, *f, i, value);
        }
    }
    for (const ImageField& f : imageFields())
        if (!seen.count(f.name)) {
            lineNo = 0;
            return fail(std::string("field ") + f.name + " is missing");
        }
    return true;
}

std::string_view factoryText() { return kFactoryText; }

FactoryImage boardFactoryImage() {
    FactoryImage img = factoryImage();
    if (const uint16_t port = board::net::factoryControl().tunnelPort)
        writeField(img.pm, *findImageField("PM.PORT_TUNNELING_PORT_NUMBER"), 0, port);
    return img;
}

const FactoryImage& factoryImage() {
    static const FactoryImage image = [] {
        FactoryImage img;
        std::string error;
        if (!parseFactoryText(kFactoryText, img, &error)) {
            std::fprintf(stderr, "factoryImage: %s\n", error.c_str());
            img = FactoryImage{};
        }
        return img;
    }();
    return image;
}
