// LIKE over the bytes of Windows-1252 text.
#include "SQLiteAPI.h"

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Iterative matcher with one backtrack point per "%", linear in practice.
bool Matches(const unsigned char* pattern, int patternLength, const unsigned char* text, int textLength,
             int escape) {
    int p = 0, t = 0;
    int starP = -1, starT = 0;
    while (t < textLength) {
        if (p < patternLength) {
            const unsigned char c = pattern[p];
            if (escape >= 0 && c == escape && p + 1 < patternLength) {
                if (FoldAscii(pattern[p + 1]) == FoldAscii(text[t])) {
                    p += 2;
                    ++t;
                    continue;
                }
            } else if (c == '%') {
                starP = p++;
                starT = t;
                continue;
            } else if (c == '_' || FoldAscii(c) == FoldAscii(text[t])) {
                ++p;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP + 1;
        t = ++starT;
    }
    while (p < patternLength && pattern[p] == '%')
        ++p;
    return p == patternLength;
}

// The entry points the function needs while SQLite calls it. Every connection
// of the process loads the same library, so one copy serves them all.
struct TLikeEntries {
    decltype(&::sqlite3_value_text) value_text = nullptr;
    decltype(&::sqlite3_value_bytes) value_bytes = nullptr;
    decltype(&::sqlite3_result_int) result_int = nullptr;
    decltype(&::sqlite3_result_error) result_error = nullptr;
};
TLikeEntries Entries;

// like(pattern, text [, escape]): SQLite's operator "text LIKE pattern".
void ByteLike(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const unsigned char* pattern = Entries.value_text(argv[0]);
    const unsigned char* text = Entries.value_text(argv[1]);
    if (!pattern || !text)
        return; // NULL, as SQLite's own LIKE gives for a NULL operand
    int escape = -1;
    if (argc == 3) {
        const unsigned char* e = Entries.value_text(argv[2]);
        if (!e || Entries.value_bytes(argv[2]) != 1) {
            Entries.result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = e[0];
    }
    Entries.result_int(
        context, Matches(pattern, Entries.value_bytes(argv[0]), text, Entries.value_bytes(argv[1]), escape));
}

} // namespace

void InstallByteLike(TSQLiteAPI& api, sqlite3* db) {
    if (!api.create_function || !api.value_text || !api.value_bytes || !api.result_int || !api.result_error)
        return;
    Entries = {api.value_text, api.value_bytes, api.result_int, api.result_error};
    for (int args : {2, 3})
        api.create_function(db, "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &ByteLike, nullptr,
                            nullptr);
}
