// The language's constant tables, one row a line.
#include "conscom/internal/tables.h"

#include <algorithm>

namespace qx {

// clang-format off
const std::array<TQXBaseFunctionIDs, kQxBaseFunctionCount> QxBaseFunctionsArr = {{
    {-1, "SUM", 2, 3, udfrNil},
    {-2, "CTN", 2, 3, udfrNil},
    {-3, "CTS", 2, 3, udfrNil},
    {-4, "VAR", 1, 10000, udfrNil},
    {-5, "SYS_AND", 2, 2, udfrTQxReportVariable},
    {-6, "SYS_OR", 2, 2, udfrTQxReportVariable},
    {-7, "SYS_LTEQ", 2, 2, udfrTQxReportVariable},
    {-8, "SYS_GTEQ", 2, 2, udfrTQxReportVariable},
    {-9, "SYS_NOTEQ", 2, 2, udfrTQxReportVariable},
    {-10, "SYS_UMINUS", 1, 1, udfrTQxReportVariable},
    {-11, "SYS_UPLUS", 1, 1, udfrTQxReportVariable},
    {-12, "SYS_NOT", 1, 1, udfrTQxReportVariable},
    {-13, "SYS_MULT", 2, 2, udfrTQxReportVariable},
    {-14, "SYS_DIV", 2, 2, udfrTQxReportVariable},
    {-15, "SYS_PERCENT", 2, 2, udfrTQxReportVariable},
    {-16, "SYS_ADD", 2, 2, udfrTQxReportVariable},
    {-17, "SYS_SUB", 2, 2, udfrTQxReportVariable},
    {-18, "SYS_GT", 2, 2, udfrTQxReportVariable},
    {-19, "SYS_LT", 2, 2, udfrTQxReportVariable},
    {-20, "IF", 1, 1, udfrTQxReportVariable},
    {-21, "WHILE", 1, 1, udfrTQxReportVariable},
    {-22, "", 1, 1, udfrTQxReportVariable},
    {-23, "SYS_EQ", 2, 2, udfrTQxReportVariable},
    {-24, "SET", 2, 2, udfrNil},
    {-25, "TRIM", 1, 1, udfrTQxReportVariable},
    {-26, "MID", 2, 3, udfrTQxReportVariable},
    {-27, "SUBSTR", 2, 3, udfrTQxReportVariable},
    {-28, "COPY", 2, 3, udfrTQxReportVariable},
    {-29, "UPPER", 1, 1, udfrTQxReportVariable},
    {-30, "LOWER", 1, 1, udfrTQxReportVariable},
    {-31, "STR", 1, 3, udfrTQxReportVariable},
    {-32, "VAL", 1, 1, udfrTQxReportVariable},
    {-33, "EOF", 1, 1, udfrTQxReportVariable},
    {-34, "BOF", 1, 1, udfrTQxReportVariable},
    {-35, "NEXT", 1, 1, udfrNil},
    {-36, "PRIOR", 1, 1, udfrNil},
    {-37, "FIRST", 1, 1, udfrNil},
    {-38, "LAST", 1, 1, udfrNil},
    {-39, "INT", 1, 1, udfrTQxReportVariable},
    {-40, "FRAC", 1, 1, udfrTQxReportVariable},
    {-41, "ROUND", 1, 2, udfrTQxReportVariable},
    {-42, "NOW", 0, 0, udfrTQxReportVariable},
    {-43, "DATE", 0, 0, udfrTQxReportVariable},
    {-44, "TIME", 0, 0, udfrTQxReportVariable},
    {-45, "DATETOSTR", 1, 1, udfrTQxReportVariable},
    {-46, "DATETIMETOSTR", 1, 1, udfrTQxReportVariable},
    {-47, "TIMETOSTR", 1, 1, udfrTQxReportVariable},
    {-48, "STRTODATE", 1, 1, udfrTQxReportVariable},
    {-49, "STRTODATETIME", 1, 1, udfrTQxReportVariable},
    {-50, "STRTOTIME", 1, 1, udfrTQxReportVariable},
    {-51, "YEAR", 1, 1, udfrTQxReportVariable},
    {-52, "MONTH", 1, 1, udfrTQxReportVariable},
    {-53, "DAY", 1, 1, udfrTQxReportVariable},
    {-54, "SYEAR", 1, 1, udfrTQxReportVariable},
    {-55, "SMONTH", 1, 1, udfrTQxReportVariable},
    {-56, "SDAY", 1, 1, udfrTQxReportVariable},
    {-57, "DTOS", 1, 1, udfrTQxReportVariable},
    {-58, "STOD", 1, 1, udfrTQxReportVariable},
    {-59, "FORMATFLOAT", 2, 2, udfrTQxReportVariable},
    {-60, "POWER", 2, 2, udfrTQxReportVariable},
    {-61, "INTPOWER", 2, 2, udfrTQxReportVariable},
    {-62, "IIF", 3, 3, udfrTQxReportVariable},
    {-63, "ELSIF", 1, 1, udfrTQxReportVariable},
    {-64, "POS", 2, 2, udfrTQxReportVariable},
    {-65, "SYS_LET", 2, 2, udfrNil},
    {-66, "SYS_IIF_TEST", 1, 1, udfrTQxReportVariable},
    {-67, "SYS_IIF_TRUE", 1, 1, udfrTQxReportVariable},
    {-68, "SYS_IIF_FALSE", 1, 1, udfrTQxReportVariable},
}};

const std::array<TIdentMapEntry, kQxOperatorCount> QxMathIDs = {{
    {0, "&&"},
    {1, "||"},
    {2, "<="},
    {3, "=>"},
    {4, ">="},
    {5, "<>"},
    {6, "!="},
    {7, "u-"},
    {8, "u+"},
    {9, "!"},
    {10, "*"},
    {11, "/"},
    {12, "%"},
    {13, "+"},
    {14, "-"},
    {15, ">"},
    {16, "<"},
    {17, "="},
    {18, ":="},
}};

const std::array<TIdentMapEntry, kQxOperatorCount> QxSysIDs = {{
    {0, "SYS_AND"},
    {1, "SYS_OR"},
    {2, "SYS_LTEQ"},
    {3, "SYS_GTEQ"},
    {4, "SYS_GTEQ"},
    {5, "SYS_NOTEQ"},
    {6, "SYS_NOTEQ"},
    {7, "SYS_UMINUS"},
    {8, "SYS_UPLUS"},
    {9, "SYS_NOT"},
    {10, "SYS_MULT"},
    {11, "SYS_DIV"},
    {12, "SYS_PERCENT"},
    {13, "SYS_ADD"},
    {14, "SYS_SUB"},
    {15, "SYS_GT"},
    {16, "SYS_LT"},
    {17, "SYS_EQ"},
    {18, "SYS_LET"},
}};

const std::array<TIdentMapEntry, 4> QxUDFResultTypeIDs = {{
    {udfrNil, "udfrNil"},
    {udfrTQxReportVariable, "udfrTQxReportVariable"},
    {udfrTPicture, "udfrTPicture"},
    {udfrTMemoryStream, "udfrTMemoryStream"},
}};

// id, name, argmin, argmax, argtype, isfloat, floatformat
const std::array<TQxBaseFormatIDs, kQxBaseFormatCount> QxBaseFormatsArr = {{
    {0, "NOFORMAT", 1, 1, {}, false, 0},
    {1, "FEXP", 1, 2, {udfrTQxReportVariable}, true, 1},
    {2, "FFIX", 1, 2, {udfrTQxReportVariable}, true, 2},
    {3, "FNUM", 1, 2, {udfrTQxReportVariable}, true, 3},
    {4, "FCUR", 1, 2, {udfrTQxReportVariable}, true, 4},
    {5, "FIMG", 1, 2, {udfrTQxReportVariable, udfrTPicture}, false, 0},
    {6, "FLNK", 1, 1, {udfrTQxReportVariable}, false, 0},
    {7, "FFIXR", 1, 2, {udfrTQxReportVariable}, true, 2},
    {8, "FNUMR", 1, 2, {udfrTQxReportVariable}, true, 3},
    {9, "FDTM", 2, 2, {udfrTQxReportVariable}, false, 0},
    {10, "FBOOL", 1, 1, {udfrTQxReportVariable}, false, 0},
    {11, "FRTF", 1, 1, {udfrTQxReportVariable}, false, 0},
}};

const std::array<TIdentMapEntry, kQxLanguageCount> QxLanguageIDs = {{
    {1078, "wdAfrikaans"},
    {1052, "wdAlbanian"},
    {1025, "wdArabic"},
    {5121, "wdArabicAlgeria"},
    {15361, "wdArabicBahrain"},
    {3073, "wdArabicEgypt"},
    {2049, "wdArabicIraq"},
    {11265, "wdArabicJordan"},
    {13313, "wdArabicKuwait"},
    {12289, "wdArabicLebanon"},
    {4097, "wdArabicLibya"},
    {6145, "wdArabicMorocco"},
    {8193, "wdArabicOman"},
    {16385, "wdArabicQatar"},
    {10241, "wdArabicSyria"},
    {7169, "wdArabicTunisia"},
    {14337, "wdArabicUAE"},
    {9217, "wdArabicYemen"},
    {1067, "wdArmenian"},
    {1101, "wdAssamese"},
    {2092, "wdAzeriCyrillic"},
    {1068, "wdAzeriLatin"},
    {1069, "wdBasque"},
    {2067, "wdBelgianDutch"},
    {2060, "wdBelgianFrench"},
    {1093, "wdBengali"},
    {1046, "wdBrazilianPortuguese"},
    {1026, "wdBulgarian"},
    {1109, "wdBurmese"},
    {1059, "wdByelorussian"},
    {1027, "wdCatalan"},
    {3076, "wdChineseHongKong"},
    {5124, "wdChineseMacao"},
    {4100, "wdChineseSingapore"},
    {1050, "wdCroatian"},
    {1029, "wdCzech"},
    {1030, "wdDanish"},
    {1043, "wdDutch"},
    {3081, "wdEnglishAUS"},
    {10249, "wdEnglishBelize"},
    {4105, "wdEnglishCanadian"},
    {9225, "wdEnglishCaribbean"},
    {6153, "wdEnglishIreland"},
    {8201, "wdEnglishJamaica"},
    {5129, "wdEnglishNewZealand"},
    {13321, "wdEnglishPhilippines"},
    {7177, "wdEnglishSouthAfrica"},
    {11273, "wdEnglishTrinidad"},
    {2057, "wdEnglishUK"},
    {1033, "wdEnglishUS"},
    {12297, "wdEnglishZimbabwe"},
    {1061, "wdEstonian"},
    {1080, "wdFaeroese"},
    {1065, "wdFarsi"},
    {1035, "wdFinnish"},
    {1036, "wdFrench"},
    {11276, "wdFrenchCameroon"},
    {3084, "wdFrenchCanadian"},
    {12300, "wdFrenchCotedIvoire"},
    {5132, "wdFrenchLuxembourg"},
    {13324, "wdFrenchMali"},
    {6156, "wdFrenchMonaco"},
    {8204, "wdFrenchReunion"},
    {10252, "wdFrenchSenegal"},
    {7180, "wdFrenchWestIndies"},
    {9228, "wdFrenchZaire"},
    {1122, "wdFrisianNetherlands"},
    {2108, "wdGaelicIreland"},
    {1084, "wdGaelicScotland"},
    {1110, "wdGalician"},
    {1079, "wdGeorgian"},
    {1031, "wdGerman"},
    {3079, "wdGermanAustria"},
    {5127, "wdGermanLiechtenstein"},
    {4103, "wdGermanLuxembourg"},
    {1032, "wdGreek"},
    {1095, "wdGujarati"},
    {1037, "wdHebrew"},
    {1081, "wdHindi"},
    {1038, "wdHungarian"},
    {1039, "wdIcelandic"},
    {1057, "wdIndonesian"},
    {1040, "wdItalian"},
    {1041, "wdJapanese"},
    {1099, "wdKannada"},
    {1120, "wdKashmiri"},
    {1087, "wdKazakh"},
    {1107, "wdKhmer"},
    {1088, "wdKirghiz"},
    {1111, "wdKonkani"},
    {1042, "wdKorean"},
    {0, "wdLanguageNone"},
    {1108, "wdLao"},
    {1062, "wdLatvian"},
    {1063, "wdLithuanian"},
    {1071, "wdMacedonian"},
    {1100, "wdMalayalam"},
    {2110, "wdMalayBruneiDarussalam"},
    {1086, "wdMalaysian"},
    {1082, "wdMaltese"},
    {1112, "wdManipuri"},
    {1102, "wdMarathi"},
    {2058, "wdMexicanSpanish"},
    {1104, "wdMongolian"},
    {1121, "wdNepali"},
    {1024, "wdNoProofing"},
    {1044, "wdNorwegianBokmol"},
    {2068, "wdNorwegianNynorsk"},
    {1096, "wdOriya"},
    {1045, "wdPolish"},
    {2070, "wdPortuguese"},
    {1094, "wdPunjabi"},
    {1047, "wdRhaetoRomanic"},
    {1048, "wdRomanian"},
    {2072, "wdRomanianMoldova"},
    {1049, "wdRussian"},
    {2073, "wdRussianMoldova"},
    {1083, "wdSamiLappish"},
    {1103, "wdSanskrit"},
    {3098, "wdSerbianCyrillic"},
    {2074, "wdSerbianLatin"},
    {1072, "wdSesotho"},
    {2052, "wdSimplifiedChinese"},
    {1113, "wdSindhi"},
    {1051, "wdSlovak"},
    {1060, "wdSlovenian"},
    {1070, "wdSorbian"},
    {1034, "wdSpanish"},
    {11274, "wdSpanishArgentina"},
    {16394, "wdSpanishBolivia"},
    {13322, "wdSpanishChile"},
    {9226, "wdSpanishColombia"},
    {5130, "wdSpanishCostaRica"},
    {7178, "wdSpanishDominicanRepublic"},
    {12298, "wdSpanishEcuador"},
    {17418, "wdSpanishElSalvador"},
    {4106, "wdSpanishGuatemala"},
    {18442, "wdSpanishHonduras"},
    {3082, "wdSpanishModernSort"},
    {19466, "wdSpanishNicaragua"},
    {6154, "wdSpanishPanama"},
    {15370, "wdSpanishParaguay"},
    {10250, "wdSpanishPeru"},
    {20490, "wdSpanishPuertoRico"},
    {14346, "wdSpanishUruguay"},
    {8202, "wdSpanishVenezuela"},
    {1072, "wdSutu"},
    {1089, "wdSwahili"},
    {1053, "wdSwedish"},
    {2077, "wdSwedishFinland"},
    {4108, "wdSwissFrench"},
    {2055, "wdSwissGerman"},
    {2064, "wdSwissItalian"},
    {1064, "wdTajik"},
    {1097, "wdTamil"},
    {1092, "wdTatar"},
    {1098, "wdTelugu"},
    {1054, "wdThai"},
    {1105, "wdTibetan"},
    {1028, "wdTraditionalChinese"},
    {1073, "wdTsonga"},
    {1074, "wdTswana"},
    {1055, "wdTurkish"},
    {1090, "wdTurkmen"},
    {1058, "wdUkrainian"},
    {1056, "wdUrdu"},
    {2115, "wdUzbekCyrillic"},
    {1091, "wdUzbekLatin"},
    {1075, "wdVenda"},
    {1066, "wdVietnamese"},
    {1106, "wdWelsh"},
    {1076, "wdXhosa"},
    {1077, "wdZulu"},
}};

// Rows: block kind 0..7. Columns: scan, scanentry, scanfooter, endscan, if,
// else, endif, elsif.
const std::array<std::array<bool, 8>, 8> QxBaseLangControl = {{
    {{true, true,  true,  true,  true, false, false, false}},
    {{true, false, true,  true,  true, false, false, false}},
    {{true, false, false, true,  true, false, false, false}},
    {{true, false, false, true,  true, true,  true,  true}},
    {{true, false, false, false, true, true,  true,  true}},
    {{true, false, false, false, true, false, true,  false}},
    {{true, true,  true,  true,  true, true,  true,  false}},
    {{true, false, false, false, true, true,  true,  true}},
}};
// clang-format on

namespace {

template <typename Pred>
const TIdentMapEntry* FindEntry(std::span<const TIdentMapEntry> map, Pred pred) {
    const auto it = std::find_if(map.begin(), map.end(), pred);
    return it == map.end() ? nullptr : &*it;
}

}  // namespace

bool IdentToInt(std::string_view name, std::int32_t& value, std::span<const TIdentMapEntry> map) {
    const TIdentMapEntry* e =
        FindEntry(map, [name](const TIdentMapEntry& r) { return r.Name == name; });
    if (e != nullptr) value = e->Value;
    return e != nullptr;
}

bool IntToIdent(std::int32_t value, std::string_view& name, std::span<const TIdentMapEntry> map) {
    const TIdentMapEntry* e =
        FindEntry(map, [value](const TIdentMapEntry& r) { return r.Value == value; });
    if (e != nullptr) name = e->Name;
    return e != nullptr;
}

const TQXBaseFunctionIDs* FindBaseFunction(std::int32_t id) {
    // Asked for every call of every record: row -id - 1 is tried first,
    // where the catalogue keeps it.
    if (id < 0 && id >= -kQxBaseFunctionCount) {
        const TQXBaseFunctionIDs& row = QxBaseFunctionsArr[static_cast<std::size_t>(-id - 1)];
        if (row.id == id) return &row;
    }
    const auto it = std::find_if(QxBaseFunctionsArr.begin(), QxBaseFunctionsArr.end(),
                                 [id](const TQXBaseFunctionIDs& r) { return r.id == id; });
    return it == QxBaseFunctionsArr.end() ? nullptr : &*it;
}

const TQXBaseFunctionIDs* FindBaseFunctionByName(std::string_view upperName) {
    const auto it =
        std::find_if(QxBaseFunctionsArr.begin(), QxBaseFunctionsArr.end(),
                     [upperName](const TQXBaseFunctionIDs& r) { return r.name == upperName; });
    return it == QxBaseFunctionsArr.end() ? nullptr : &*it;
}

std::string_view OperatorFunctionName(std::string_view symbol) {
    std::int32_t value = 0;
    std::string_view name;
    if (!IdentToInt(symbol, value, QxMathIDs) || !IntToIdent(value, name, QxSysIDs)) return {};
    return name;
}

}  // namespace qx
