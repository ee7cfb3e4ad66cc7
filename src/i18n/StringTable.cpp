#include "StringTable.h"

#include <array>

namespace {

// Index 0 is id 101. French on the odd ids, English on the next even id; trailing blanks are
// part of the texts that are followed by a file or program name.
constexpr std::array<const char*, StringTable::LastId - StringTable::FirstId + 1> Texts = {
    "&Logs Source",                                                               // 101
    "Source &Logs",                                                               // 102
    "Source",                                                                     // 103
    "Source",                                                                     // 104
    "Ecriture",                                                                   // 105
    "Writing",                                                                    // 106
    "Syslog",                                                                     // 107
    "Syslog",                                                                     // 108
    "Lignes",                                                                     // 109
    "Lines",                                                                      // 110
    "Séquentielle",                                                               // 111
    "Sequential",                                                                 // 112
    "Aléatoire",                                                                  // 113
    "Random",                                                                     // 114
    "Infinie",                                                                    // 115
    "Loop",                                                                       // 116
    "Délai écriture",                                                             // 117
    "Write Delay",                                                                // 118
    "Fichier",                                                                    // 119
    "File",                                                                       // 120
    "Port UDP",                                                                   // 121
    "UDP Port",                                                                   // 122
    "Dest IP",                                                                    // 123
    "IP Dest",                                                                    // 124
    "&Quitter",                                                                   // 125
    "Exit",                                                                       // 126
    "&Lecture Source",                                                            // 127
    "Src &Reading",                                                               // 128
    "&Quenby",                                                                    // 129
    "&Quenby",                                                                    // 130
    "F1; Aide",                                                                   // 131
    "F1: Help",                                                                   // 132
    "Sortie",                                                                     // 133
    "Std Out",                                                                    // 134
    "Votre Choix...",                                                             // 135
    "Your Choice...",                                                             // 136
    "Erreur Inconnue",                                                            // 137
    "Unknown Error",                                                              // 138
    "Ecriture (en boucle)",                                                       // 139
    "Writing (Loop)",                                                             // 140
    "Le fichier ",                                                                // 141
    "File ",                                                                      // 142
    ".txt existe.",                                                               // 143
    ".txt exists.",                                                               // 144
    "Voulez vous ajouter des logs (Oui). Si Non, un nouveau fichier sera crée.",  // 145
    "Do you want add Logs (Yes). If No, a new file will be create.",              // 146
    "Fichier",                                                                    // 147
    "File",                                                                       // 148
    "La génération du fichier ",                                                  // 149
    "The file generation of ",                                                    // 150
    ".txt est terminée.",                                                         // 151
    ".txt is done.",                                                              // 152
    "La valeur du délai d'écriture doit être comprise entre 1 et 7200 secondes.", // 153
    "Writing delay value must be between 1 and 7200 seconds.",                    // 154
    "Information",                                                                // 155
    "Information",                                                                // 156
    "La valeur du port UDP doit être comprise entre 1 et 65534.",                 // 157
    "UDP Port value must be between 1 and 65534.",                                // 158
    "Il y a déjà ",                                                               // 159
    "Already ",                                                                   // 160
    "Talvex en mémoire. Ce seuil est le maximum.",                                // 161
    "Talvex running in memory. This trigger is the maximum.",                     // 162
    "Seuil Maximum",                                                              // 163
    "Trigger",                                                                    // 164
};

} // namespace

namespace StringTable {

QString text(int id) {
    if (id < FirstId || id > LastId)
        return QString();
    return QString::fromUtf8(Texts[static_cast<std::size_t>(id - FirstId)]);
}

QString lookup(int n, int languageOffset) {
    return text(IdBase + n + languageOffset);
}

} // namespace StringTable
