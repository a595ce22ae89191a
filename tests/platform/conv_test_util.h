// Helpers shared by the conversion tests.
#pragma once

#include <gtest/gtest.h>
#include <locale.h>

#include <initializer_list>
#include <string>

#include "platform/exceptions.h"
#include "platform/sysutils.h"

namespace qx::testing {

// Runs f and checks that it raises EConvertError with exactly `message`.
template <class F>
void ExpectConvertError(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no EConvertError, expected: " << message;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.what(), message);
    }
}

// Checks that parse(text) rejects every text with "'<text>' is not a valid <what>".
template <class F>
void ExpectRejected(std::initializer_list<const char*> texts, F&& parse, const std::string& what) {
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        ExpectConvertError([&] { parse(text); },
                           "'" + std::string(text) + "' is not a valid " + what);
    }
}

// Settings of a German-style locale written out by hand, so that tests of
// the separators do not depend on installed locales.
inline TFormatSettings CommaSettings() {
    TFormatSettings fs;
    fs.DecimalSeparator = ",";
    fs.ThousandSeparator = ".";
    fs.CurrencyString = "\xE2\x82\xAC";  // EURO SIGN
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    fs.ShortDateFormat = "dd.MM.yyyy";
    fs.LongDateFormat = "dddd, d. MMMM yyyy";
    fs.DateSeparator = ".";
    fs.ShortTimeFormat = "hh:nn";
    fs.LongTimeFormat = "hh:nn:ss";
    return fs;
}

inline bool LocaleInstalled(const char* name) {
    locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return false;
    freelocale(loc);
    return true;
}

}  // namespace qx::testing
