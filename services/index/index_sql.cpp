#include "services/index/index_sql.h"

#include <cctype>

#include "services/index/index_attributes.h"

namespace pella {

namespace {

struct LevelTables {
    ArchiveLevel level;
    const char* table;
    const char* alias;
    const char* parentColumn;  // the column naming the row above; "" for the patient
};

constexpr LevelTables kLevels[] = {
    {ArchiveLevel::Patient, "patients", "p", ""},
    {ArchiveLevel::Study, "studies", "st", "patient_ref"},
    {ArchiveLevel::Series, "series", "se", "study_ref"},
    {ArchiveLevel::Image, "instances", "i", "series_ref"},
};

int Rank(ArchiveLevel level) {
    return static_cast<int>(level);
}

const LevelTables& TablesOf(ArchiveLevel level) {
    return kLevels[Rank(level)];
}

std::string Column(const IndexAttribute& attribute) {
    return std::string(TablesOf(attribute.level).alias) + "." + attribute.column;
}

// FROM clause joining the level's table with every table above it.
std::string FromClause(ArchiveLevel level) {
    std::string from = std::string(" FROM ") + TablesOf(level).table + " " + TablesOf(level).alias;
    for (int rank = Rank(level); rank > 0; --rank) {
        const LevelTables& child = kLevels[rank];
        const LevelTables& parent = kLevels[rank - 1];
        from += std::string(" JOIN ") + parent.table + " " + parent.alias + " ON " + parent.alias +
                ".id = " + child.alias + "." + child.parentColumn;
    }
    return from;
}

bool HasWildcard(const std::string& value) {
    return value.find_first_of("*?") != std::string::npos;
}

// The condition a UID list puts on a column.
std::string UidCondition(const std::string& column, const std::string& value,
                         std::vector<std::string>& bindings) {
    std::vector<std::string> uids = SplitValues(value);
    if (uids.empty()) return "";
    std::string condition = column + " IN (";
    for (std::size_t i = 0; i < uids.size(); ++i) {
        condition += i == 0 ? "?" : ", ?";
        bindings.push_back(uids[i]);
    }
    return condition + ")";
}

// The condition of a single value or a wildcard text; "" for a universal one ("*").
std::string TextCondition(const std::string& column, const std::string& value,
                          std::vector<std::string>& bindings) {
    if (value.find_first_not_of('*') == std::string::npos) return "";
    if (!HasWildcard(value)) {
        bindings.push_back(value);
        return column + " = ?";
    }
    bindings.push_back(GlobPattern(value));
    return column + " GLOB ?";
}

// The condition of a date or time: a range "a-b", "-b" or "a-", or a single value.
std::string RangeCondition(const std::string& column, const std::string& value,
                           std::vector<std::string>& bindings) {
    std::size_t dash = value.find('-');
    if (dash == std::string::npos) return TextCondition(column, value, bindings);
    std::string from = value.substr(0, dash);
    std::string to = value.substr(dash + 1);
    std::string condition = column + " <> ''";
    if (!from.empty()) {
        condition += " AND " + column + " >= ?";
        bindings.push_back(from);
    }
    if (!to.empty()) {
        // "1200" as the end takes every time within that minute: compared up to its length.
        condition += " AND substr(" + column + ", 1, " + std::to_string(to.size()) + ") <= ?";
        bindings.push_back(to);
    }
    return condition;
}

std::string AttributeCondition(const IndexAttribute& attribute, const std::string& value,
                               std::vector<std::string>& bindings) {
    const std::string column = Column(attribute);
    switch (attribute.kind) {
        case MatchKind::Uid:
            return UidCondition(column, value, bindings);
        case MatchKind::Date:
        case MatchKind::Time:
            return RangeCondition(column, value, bindings);
        case MatchKind::Text:
            break;
    }
    return TextCondition(column, value, bindings);
}

// Modalities in Study matches a study holding a series of any of the listed modalities.
std::string ModalitiesCondition(const std::string& value, std::vector<std::string>& bindings) {
    std::string any;
    for (const std::string& modality : SplitValues(value)) {
        std::string one = TextCondition("ms.modality", modality, bindings);
        if (one.empty()) return "";  // a universal value among them matches every study
        any += (any.empty() ? "" : " OR ") + one;
    }
    if (any.empty()) return "";
    return "EXISTS (SELECT 1 FROM series ms WHERE ms.study_ref = st.id AND (" + any + "))";
}

// The value a derived attribute has for the row (a subquery over the rows below).
std::string DerivedColumn(DerivedAttribute attribute) {
    switch (attribute) {
        case DerivedAttribute::ModalitiesInStudy:
            return "(SELECT group_concat(m, '\\') FROM (SELECT DISTINCT modality m FROM series "
                   "WHERE study_ref = st.id AND modality <> '' ORDER BY modality) d)";
        case DerivedAttribute::NumberOfPatientRelatedStudies:
            return "(SELECT count(*) FROM studies WHERE patient_ref = p.id)";
        case DerivedAttribute::NumberOfPatientRelatedSeries:
            return "(SELECT count(*) FROM series x JOIN studies y ON y.id = x.study_ref WHERE y.patient_ref "
                   "= p.id)";
        case DerivedAttribute::NumberOfPatientRelatedInstances:
            return "(SELECT count(*) FROM instances w JOIN series x ON x.id = w.series_ref JOIN studies y ON "
                   "y.id = x.study_ref WHERE y.patient_ref = p.id)";
        case DerivedAttribute::NumberOfStudyRelatedSeries:
            return "(SELECT count(*) FROM series WHERE study_ref = st.id)";
        case DerivedAttribute::NumberOfStudyRelatedInstances:
            return "(SELECT count(*) FROM instances w JOIN series x ON x.id = w.series_ref WHERE x.study_ref "
                   "= st.id)";
        case DerivedAttribute::NumberOfSeriesRelatedInstances:
            return "(SELECT count(*) FROM instances WHERE series_ref = se.id)";
        case DerivedAttribute::None:
            break;
    }
    return "''";
}

void AddCondition(std::string& where, const std::string& condition) {
    if (condition.empty()) return;
    where += where.empty() ? " WHERE " : " AND ";
    where += "(" + condition + ")";
}

void AddUidKeys(std::string& where, std::vector<std::string>& bindings, const std::string& column,
                const std::vector<std::string>& values) {
    if (values.empty()) return;
    std::string condition = column + " IN (";
    for (std::size_t i = 0; i < values.size(); ++i) {
        condition += i == 0 ? "?" : ", ?";
        bindings.push_back(values[i]);
    }
    AddCondition(where, condition + ")");
}

}  // namespace

std::vector<std::string> SplitValues(const std::string& value) {
    std::vector<std::string> values;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find('\\', start);
        if (end == std::string::npos) end = value.size();
        std::string one = value.substr(start, end - start);
        while (!one.empty() && one.back() == ' ') one.pop_back();
        while (!one.empty() && one.front() == ' ') one.erase(one.begin());
        if (!one.empty()) values.push_back(one);
        start = end + 1;
    }
    return values;
}

std::string GlobPattern(const std::string& value) {
    std::string pattern;
    for (char c : value) pattern += c == '[' ? std::string("[[]") : std::string(1, c);
    return pattern;
}

const char* LevelTable(ArchiveLevel level) {
    return TablesOf(level).table;
}

std::vector<std::string> IndexSchemaStatements() {
    std::vector<std::string> statements;
    for (const LevelTables& level : kLevels) {
        std::string table =
            std::string("CREATE TABLE IF NOT EXISTS ") + level.table + " (id INTEGER PRIMARY KEY";
        if (*level.parentColumn) table += std::string(", ") + level.parentColumn + " INTEGER NOT NULL";
        for (const IndexAttribute& attribute : IndexAttributes())
            if (attribute.level == level.level)
                table += std::string(", ") + attribute.column + " TEXT NOT NULL";
        table += ", charset TEXT NOT NULL";
        if (level.level == ArchiveLevel::Image)
            table += ", transfer_syntax TEXT NOT NULL, path TEXT NOT NULL";
        table += ")";
        statements.push_back(table);
        if (*level.parentColumn)
            statements.push_back(std::string("CREATE INDEX IF NOT EXISTS ") + level.table + "_parent ON " +
                                 level.table + "(" + level.parentColumn + ")");
    }
    statements.push_back(
        "CREATE UNIQUE INDEX IF NOT EXISTS patients_key ON patients(patient_id, issuer_of_patient_id)");
    statements.push_back("CREATE INDEX IF NOT EXISTS patients_name ON patients(patient_name)");
    statements.push_back("CREATE UNIQUE INDEX IF NOT EXISTS studies_key ON studies(study_uid)");
    statements.push_back("CREATE INDEX IF NOT EXISTS studies_date ON studies(study_date)");
    statements.push_back("CREATE UNIQUE INDEX IF NOT EXISTS series_key ON series(series_uid)");
    statements.push_back("CREATE UNIQUE INDEX IF NOT EXISTS instances_key ON instances(sop_uid)");
    return statements;
}

SqlStatement FindStatement(const IndexQuery& query) {
    SqlStatement statement;
    std::string where;
    std::vector<std::string> conditionBindings;
    statement.text = "SELECT ";
    for (const IndexQueryKey& key : query.keys) {
        const IndexAttribute* attribute =
            key.sequence ? nullptr
                         : FindItemAttribute(key.sequenceGroup, key.sequenceElement, key.group, key.element);
        DerivedAttribute derived = key.sequence || key.InSequence()
                                       ? DerivedAttribute::None
                                       : FindDerivedAttribute(key.group, key.element);
        bool stored = attribute && Rank(attribute->level) <= Rank(query.level);
        bool derivedHere =
            derived != DerivedAttribute::None && Rank(DerivedLevel(derived)) <= Rank(query.level);
        if (stored) {
            statement.text += Column(*attribute);
            AddCondition(where, AttributeCondition(*attribute, key.value, conditionBindings));
        } else if (derivedHere) {
            statement.text += DerivedColumn(derived);
            if (derived == DerivedAttribute::ModalitiesInStudy)
                AddCondition(where, ModalitiesCondition(key.value, conditionBindings));
        } else {
            statement.text += "''";
        }
        statement.text += ", ";
    }
    statement.text += std::string(TablesOf(query.level).alias) + ".charset" + FromClause(query.level) +
                      where + " ORDER BY " + TablesOf(query.level).alias + ".id";
    statement.bindings = std::move(conditionBindings);
    return statement;
}

SqlStatement ListInstancesStatement(const RetrieveKeys& keys) {
    SqlStatement statement;
    std::string where;
    AddUidKeys(where, statement.bindings, "p.patient_id", keys.patientIds);
    if (Rank(keys.level) >= Rank(ArchiveLevel::Study))
        AddUidKeys(where, statement.bindings, "st.study_uid", keys.studyUids);
    if (Rank(keys.level) >= Rank(ArchiveLevel::Series))
        AddUidKeys(where, statement.bindings, "se.series_uid", keys.seriesUids);
    if (Rank(keys.level) >= Rank(ArchiveLevel::Image))
        AddUidKeys(where, statement.bindings, "i.sop_uid", keys.sopInstanceUids);
    statement.text = "SELECT i.path, i.sop_class, i.sop_uid, i.transfer_syntax" +
                     FromClause(ArchiveLevel::Image) + where + " ORDER BY st.id, se.id, i.id";
    return statement;
}

SqlStatement AllRecordsStatement() {
    SqlStatement statement;
    statement.text = "SELECT ";
    for (const IndexAttribute& attribute : IndexAttributes()) statement.text += Column(attribute) + ", ";
    statement.text +=
        "i.charset, i.transfer_syntax, i.path" + FromClause(ArchiveLevel::Image) + " ORDER BY i.id";
    return statement;
}

std::string LikePattern(const std::string& globPattern) {
    std::string pattern;
    for (std::size_t i = 0; i < globPattern.size(); ++i) {
        const char c = globPattern[i];
        if (globPattern.compare(i, 3, "[[]") == 0) {
            pattern += '[';
            i += 2;
        } else if (c == '*') {
            pattern += '%';
        } else if (c == '?') {
            pattern += '_';
        } else {
            if (c == '%' || c == '_' || c == '\\') pattern += '\\';
            pattern += c;
        }
    }
    return pattern;
}

namespace {

// The words of SQLite's text that PostgreSQL spells otherwise.
struct DialectWord {
    const char* sqlite;
    const char* postgres;
};

constexpr DialectWord kPostgresWords[] = {
    {"INTEGER PRIMARY KEY", "BIGSERIAL PRIMARY KEY"},
    {"INTEGER NOT NULL", "BIGINT NOT NULL"},
    {"group_concat(", "string_agg("},
};

bool WordStartsAt(const std::string& text, std::size_t at, const char* word) {
    if (text.compare(at, std::char_traits<char>::length(word), word) != 0) return false;
    return at == 0 || !(std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_');
}

}  // namespace

SqlStatement InDialect(SqlStatement statement, SqlDialect dialect) {
    if (dialect == SqlDialect::Sqlite) return statement;
    const std::string& text = statement.text;
    std::string turned;
    std::size_t parameter = 0;
    bool quoted = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\'') quoted = !quoted;
        if (quoted || c == '\'') {
            turned += c;
            continue;
        }
        if (c == '?') {
            ++parameter;
            turned.append("$").append(std::to_string(parameter));
            continue;
        }
        if (WordStartsAt(text, at, "GLOB ?")) {
            turned += "LIKE";
            at += 3;
            if (parameter < statement.bindings.size())
                statement.bindings[parameter] = LikePattern(statement.bindings[parameter]);
            continue;
        }
        const DialectWord* word = nullptr;
        for (const DialectWord& candidate : kPostgresWords)
            if (WordStartsAt(text, at, candidate.sqlite)) word = &candidate;
        if (word) {
            turned += word->postgres;
            at += std::char_traits<char>::length(word->sqlite) - 1;
            continue;
        }
        turned += c;
    }
    statement.text = std::move(turned);
    return statement;
}

}  // namespace pella
