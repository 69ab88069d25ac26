// Locate: finding a record in the buffer by the texts of key fields.
#include "SQLite.h"

#include "SQLiteAPI.h"
#include "SQLiteInternal.h"
#include "Win1252.h"

#include <algorithm>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------
// Locate: a linear scan over the buffer comparing texts.

void TSQLiteBaseQuery::BufferChanged() {
    FKeyColumns.reset();
}

namespace {

struct TLocateKey {
    int column = -1;
    TFieldType type = TFieldType::Unknown;
    QString text;
    bool intKey = false; // the text is a canonical integer, so integer cells compare as numbers
    int intValue = 0;
};

} // namespace

bool TSQLiteBaseQuery::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options) {
    CheckActive();
    QStringList names = keyFields.split(u';', Qt::SkipEmptyParts);
    for (QString& n : names)
        n = n.trimmed();
    const QVariantList values = names.size() == 1 ? QVariantList{keyValues} : keyValues.toList();
    std::vector<TLocateKey> keys;
    for (int i = 0; i < names.size(); ++i) {
        const TField* f = FieldByName(names[i]);
        TLocateKey k;
        k.column = f->Column();
        k.type = f->DataType();
        k.text = values.value(i).toString();
        if (k.type == TFieldType::Integer) {
            bool ok = false;
            k.intValue = k.text.toInt(&ok);
            k.intKey = ok && QString::number(k.intValue) == k.text;
        }
        keys.push_back(k);
    }
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    const Qt::CaseSensitivity cs = caseless ? Qt::CaseInsensitive : Qt::CaseSensitive;

    auto textMatches = [&](const QString& fieldText, const QString& wanted) {
        if (partial)
            return fieldText.startsWith(wanted, cs);
        return fieldText.compare(wanted, cs) == 0;
    };
    auto matches = [&](const TRow& row) {
        for (const TLocateKey& k : keys) {
            static const QVariant none;
            const QVariant& v = k.column >= 0 ? row.values[k.column] : none;
            const int typeId = v.typeId();
            if (typeId == QMetaType::QString) {
                if (!textMatches(*static_cast<const QString*>(v.constData()), k.text))
                    return false;
            } else if (typeId == QMetaType::Int && k.type == TFieldType::Integer && !partial) {
                if (!k.intKey || *static_cast<const int*>(v.constData()) != k.intValue)
                    return false;
            } else if (!textMatches(FieldValueText(v, k.type), k.text)) {
                return false;
            }
        }
        return true;
    };

    // A second search on an unchanged buffer scans typed copies of the key
    // columns instead of the cells: exact matches of integers and texts only.
    if (!FKeyColumns)
        FKeyColumns = std::make_unique<TKeyColumns>();
    const bool useCopies = ++FKeyColumns->searches >= 2 && options == 0 && !keys.empty();
    std::vector<const TKeyColumns::Column*> copies;
    if (useCopies) {
        FKeyColumns->columns.resize(FColumns.size());
        for (const TLocateKey& k : keys) {
            if (k.column < 0 || (k.type == TFieldType::Integer && !k.intKey)) {
                copies.clear();
                break;
            }
            TKeyColumns::Column& col = FKeyColumns->columns[k.column];
            if (!col.built) {
                col.built = true;
                col.integers = k.type == TFieldType::Integer;
                col.usable = col.integers || k.type == TFieldType::String;
                if (col.usable)
                    col.values.resize(FRows.size());
                for (size_t i = 0; i < FRows.size() && col.usable; ++i) {
                    const QVariant& v = FRows[i].values[k.column];
                    if (!v.isValid())
                        col.values[i] = col.integers ? TKeyColumns::kNull : qint64(qHash(QString()));
                    else if (col.integers && v.typeId() == QMetaType::Int)
                        col.values[i] = *static_cast<const int*>(v.constData());
                    else if (!col.integers && v.typeId() == QMetaType::QString)
                        col.values[i] = qint64(qHash(*static_cast<const QString*>(v.constData())));
                    else
                        col.usable = false;
                }
                if (!col.usable)
                    col.values = {};
            }
            if (!col.usable || col.integers != (k.type == TFieldType::Integer)) {
                copies.clear();
                break;
            }
            copies.push_back(&col);
        }
    }
    std::vector<qint64> wanted;
    for (const TLocateKey& k : keys)
        wanted.push_back(k.type == TFieldType::Integer ? qint64(k.intValue) : qint64(qHash(k.text)));
    auto copiesMatch = [&](size_t row) {
        for (size_t j = 0; j < keys.size(); ++j) {
            if (copies[j]->values[row] != wanted[j])
                return false;
            if (!copies[j]->integers) { // a hash only says "maybe"
                const QVariant& v = FRows[row].values[keys[j].column];
                const QString text = v.isValid() ? *static_cast<const QString*>(v.constData()) : QString();
                if (text != keys[j].text)
                    return false;
            }
        }
        return true;
    };

    bool found = false;
    DisableControls();
    try {
        First();
        const size_t count = FRows.size();
        if (!copies.empty()) {
            const qint64* first = copies[0]->values.data();
            const qint64 firstWanted = wanted[0];
            for (size_t i = 0; i < count; ++i) {
                if (first[i] == firstWanted && copiesMatch(i)) {
                    FIndex = int(i);
                    found = true;
                    break;
                }
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                if (matches(FRows[i])) {
                    FIndex = int(i);
                    found = true;
                    break;
                }
            }
        }
        if (found)
            FBof = FEof = false;
        if (!found)
            First();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}
