#include "LocalizationUtilities.h"

#include <cctype>

namespace LocalizationUtilities {

namespace {

const char* const kDefaultLanguage = "en_US";

// The canonical codes; a false flag marks the codes that do not own their bare language
// ("en" is en_US, not en_GB).
const struct {
    const char* code;
    bool ownsLanguage;
} kCodes[] = {
    {"ar_AE", true}, {"be_BY", true}, {"bg_BG", true}, {"ca_ES", true}, {"cs_CZ", true},  {"da_DK", true},
    {"de_DE", true}, {"el_GR", true}, {"en_US", true}, {"en_GB", false}, {"en_XC", false}, {"en_XM", false},
    {"es_ES", true}, {"es_QM", false}, {"et_EE", true}, {"fi_FI", true}, {"fr_FR", true},  {"fr_XM", false},
    {"he_IL", true}, {"hi_IN", true}, {"hr_HR", true}, {"hu_HU", true}, {"is_IS", true},  {"it_IT", true},
    {"ja_JP", true}, {"ko_KR", true}, {"lt_LT", true}, {"lv_LV", true}, {"mk_MK", true},  {"nb_NO", true},
    {"nl_NL", true}, {"nn_NO", true}, {"no_NO", true}, {"pl_PL", true}, {"pt_BR", true},  {"ro_RO", true},
    {"ru_RU", true}, {"sh_YU", true}, {"sk_SK", true}, {"sl_SI", true}, {"sq_AL", true},  {"sv_SE", true},
    {"th_TH", true}, {"tr_TR", true}, {"uk_UA", true}, {"vi_VN", true}, {"zh_CN", true},  {"zh_TW", false},
};

std::string Lowered(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// The keys of one code ll_RR: ll (when it owns the language), ll-rr, ll_RR and ll_rr.
void AddCode(std::map<std::string, std::string>& table, const std::string& code, bool ownsLanguage)
{
    const std::string lower = Lowered(code);
    if (ownsLanguage)
        table[code.substr(0, 2)] = code;
    table[lower.substr(0, 2) + "-" + lower.substr(3)] = code;
    table[code] = code;
    table[lower] = code;
}

std::map<std::string, std::string> BuildTable()
{
    std::map<std::string, std::string> table;
    for (const auto& entry : kCodes)
        AddCode(table, entry.code, entry.ownsLanguage);
    table["zh-hk"] = "zh_TW";
    table["zh_HK"] = "zh_TW";
    table["zh_hk"] = "zh_TW";
    return table;
}

// Filled inside the static's initialiser, which C++ runs exactly once even when the first calls
// race.
const std::map<std::string, std::string>& Table()
{
    static const std::map<std::string, std::string> sTable = BuildTable();
    return sTable;
}

}  // namespace

std::map<std::string, std::string> GetOrvexLanguageConversionTable()
{
    return Table();
}

std::string Convert1766ToOrvexLanguage(const std::string& tag)
{
    const std::map<std::string, std::string>& table = Table();
    std::string key = tag;
    std::map<std::string, std::string>::const_iterator found = table.find(key);
    if (found == table.end() && key.size() >= 6) {
        key = key.substr(0, 5);
        found = table.find(key);
    }
    if (found == table.end()) {
        key = Lowered(key);
        found = table.find(key);
    }
    if (found == table.end() && key.size() > 2) {
        key = key.substr(0, 2);
        found = table.find(key);
    }
    return found == table.end() ? kDefaultLanguage : found->second;
}

}  // namespace LocalizationUtilities
