// NodeKinds: the kinds of the inner nodes of the syntax tree.
//
// A node's `kind` is negative for an inner node (one of the FON_* values
// below, each built by the grammar rule of the same name) and positive for a
// leaf, where it is the token kind of the lexer.  What each kind holds as
// children is the grammar's business, not this file's.
#pragma once

#include <cstdint>

namespace qx {

enum NodeKind : std::int32_t {
    FON_ITEM_SIMPLE = -1,
    FON_FONCTION_SCALAIRE_REF = -2,
    FON_FONCTION_AGREGEE_REF = -3,
    FON_FONCTION_DATE_HEURE_REF = -4,
    FON_ITEM_SIMPLE_VIRGULE_LISTE = -5,
    FON_TABLE_REF_VIRGULE_LISTE = -6,
    FON_COLONNE_REF_VIRGULE_LISTE = -7,
    FON_TABLE_REF = -8,
    FON_SELECTION_ITEM_VIRGULE_LISTE = -9,
    FON_SELECTION_ITEM = -10,
    FON_AFFECTATION_COLONNE_VIRGULE_LISTE = -11,
    FON_AFFECTATION_COLONNE = -12,
    FON_COLONNE_DEF_VIRGULE_LISTE = -13,
    FON_COLONNE_DEF = -14,
    FON_CONDITION_RECHERCHE = -15,
    FON_TERME_LOGIQUE = -16,
    FON_FACTEUR_LOGIQUE = -17,
    FON_EXPRESSION = -18,
    FON_ITEM_COMPARE = -19,
    FON_TERME = -20,
    FON_FACTEUR = -21,
    FON_COMPARAISON = -22,
    FON_COMPOSANT_SECOND_MEMBRE = -23,
    FON_SOUS_SELECT = -24,
    FON_ITEM_SELECTIONNE = -25,
    FON_REQUETE_SELECTION = -26,
    FON_REQUETE = -27,
    FON_REQUETE_CREATION_TABLE = -28,
    FON_REQUETE_CREATION_VUE = -29,
    FON_REQUETE_DESTRUCTION_TABLE_VUE = -30,
    FON_REQUETE_INSERT_ENREG = -31,
    FON_REQUETE_MIS_A_JOUR_ENREG = -32,
    FON_REQUETE_SUPPRESSION_ENREG = -33,
    FON_REQUETE_CREATION_INDEX = -34,
    kNodeLimit = -35,  // LIMIT n [OFFSET m] after a query: `aux` n, a child with `aux` m for OFFSET
    kNodeDropIndex = -36,   // DROP INDEX: the index name, then the table name when ON names one
    kNodeAlterTable = -37,  // ALTER TABLE: the table name, a leaf with the AlterAction in `aux`, its operand
};

// The most negative node kind in use (kinds run from -1 down to this one).
constexpr std::int32_t kLastNodeKind = kNodeAlterTable;

// `aux` bits of the CREATE TABLE, CREATE INDEX, DROP and DROP INDEX nodes.
constexpr std::int32_t kIfExistsClause = 1;  // IF EXISTS (IF NOT EXISTS for CREATE) written
constexpr std::int32_t kDropsView = 2;       // DROP VIEW rather than DROP TABLE

// What ALTER TABLE does; its operand is a FON_COLONNE_DEF (ADD) or a name leaf.
enum class AlterAction : std::int32_t { kAddColumn = 1, kDropColumn, kRenameTo };

// The kinds of JOIN a table list writes; the ON condition of a joined table
// (the last child of its FON_TABLE_REF) carries its kind in `aux`.
enum class JoinKind : std::int32_t { kNone, kInner, kCross, kLeft };

// `aux` of the FON_REQUETE root of "EXPLAIN statement": the statement's plan
// is wanted, not its rows or changes.
constexpr std::int32_t kExplainStatement = 1;

// `aux` of the FON_REQUETE root, without children, of BEGIN [TRANSACTION],
// COMMIT [TRANSACTION] and ROLLBACK [TRANSACTION].
enum TransactionStatement : std::int32_t {
    kBeginStatement = 2,
    kCommitStatement = 3,
    kRollbackStatement = 4,
};

}  // namespace qx
