// NodeKinds: names of the syntax tree's inner node kinds, plain and padded
// to the display width.  Both tables are built at compile time.
#include "parser/NodeKinds.h"

#include <array>
#include <cstddef>

namespace qx {
namespace {

constexpr int kKindCount = -kLastNodeKind;

// Index 0 is kind -1, index 33 kind -34.
constexpr const char* kNames[kKindCount] = {
    "FON_ITEM_SIMPLE",
    "FON_FONCTION_SCALAIRE_REF",
    "FON_FONCTION_AGREGEE_REF",
    "FON_FONCTION_DATE_HEURE_REF",
    "FON_ITEM_SIMPLE_VIRGULE_LISTE",
    "FON_TABLE_REF_VIRGULE_LISTE",
    "FON_COLONNE_REF_VIRGULE_LISTE",
    "FON_TABLE_REF",
    "FON_SELECTION_ITEM_VIRGULE_LISTE",
    "FON_SELECTION_ITEM",
    "FON_AFFECTATION_COLONNE_VIRGULE_LISTE",
    "FON_AFFECTATION_COLONNE",
    "FON_COLONNE_DEF_VIRGULE_LISTE",
    "FON_COLONNE_DEF",
    "FON_CONDITION_RECHERCHE",
    "FON_TERME_LOGIQUE",
    "FON_FACTEUR_LOGIQUE",
    "FON_EXPRESSION",
    "FON_ITEM_COMPARE",
    "FON_TERME",
    "FON_FACTEUR",
    "FON_COMPARAISON",
    "FON_COMPOSANT_SECOND_MEMBRE",
    "FON_SOUS_SELECT",
    "FON_ITEM_SELECTIONNE",
    "FON_REQUETE_SELECTION",
    "FON_REQUETE",
    "FON_REQUETE_CREATION_TABLE",
    "FON_REQUETE_CREATION_VUE",
    "FON_REQUETE_DESTRUCTION_TABLE_VUE",
    "FON_REQUETE_INSERT_ENREG",
    "FON_REQUETE_MIS_A_JOUR_ENREG",
    "FON_REQUETE_SUPPRESSION_ENREG",
    "FON_REQUETE_CREATION_INDEX",
};

using DisplayName = std::array<char, kNodeKindDisplayWidth + 1>;

constexpr std::array<DisplayName, kKindCount> PadNames() {
    std::array<DisplayName, kKindCount> padded{};
    for (int k = 0; k < kKindCount; ++k) {
        const char* name = kNames[k];
        std::size_t i = 0;
        for (; name[i] != '\0' && i < kNodeKindDisplayWidth; ++i) padded[k][i] = name[i];
        for (; i < kNodeKindDisplayWidth; ++i) padded[k][i] = ' ';
        padded[k][kNodeKindDisplayWidth] = '\0';
    }
    return padded;
}

constexpr std::array<DisplayName, kKindCount> kDisplayNames = PadNames();

bool IsNodeKind(int kind) { return kind <= -1 && kind >= kLastNodeKind; }

}  // namespace

const char* NodeKindName(int kind) { return IsNodeKind(kind) ? kNames[-kind - 1] : nullptr; }

const char* NodeKindDisplayName(int kind) {
    return IsNodeKind(kind) ? kDisplayNames[-kind - 1].data() : nullptr;
}

}  // namespace qx
