// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/StringTable.h"

#include <array>
#include <iterator>

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

struct MessageTexts {
    const char* french;
    const char* english;
};

// In the order of StringTable::Message.
constexpr MessageTexts Messages[] = {
    // HelpMissing
    {"Le fichier d'aide Talvex.chm est absent du dossier de travail, et le manuel n'est pas installé.",
     "The help file Talvex.chm is not in the working folder, and the manual is not installed."},
    // HelpFileNotOpened
    {"Le fichier d'aide Talvex.chm n'a pas pu être ouvert.", "The help file Talvex.chm could not be opened."},
    // ManualNotOpened
    {"Le manuel n'a pas pu être ouvert.", "The manual could not be opened."},
    // WarningTitle
    {"Avertissement", "Warning"},
    // SettingsNotWritable
    {"Le fichier de paramètres Talvex.ini ne peut pas être écrit : les réglages modifiés ne seront pas "
     "conservés après la fermeture de Talvex.",
     "The settings file Talvex.ini cannot be written: changed settings will not be kept after Talvex "
     "closes."},
    // SettingsBusy
    {"Le fichier de paramètres Talvex.ini est occupé : une autre copie de Talvex le retient depuis plus de "
     "10 secondes. Appuyez de nouveau sur le bouton pour réessayer.",
     "The settings file Talvex.ini is busy: another copy of Talvex has held it for more than 10 seconds. "
     "Press the button again to retry."},
    // FolderUnusable
    {"Talvex ne peut pas utiliser ce dossier : l'un de ses fichiers de verrou (Talvex.ini.slots.lock, "
     "Talvex.slot<N>.lock) n'est pas un fichier ordinaire. Supprimez-le et réessayez.",
     "Talvex cannot use this folder: one of its lock files (Talvex.ini.slots.lock, Talvex.slot<N>.lock) is "
     "not a regular file. Remove it and try again."},
    // CompanionFailed
    {"Le programme Quenby.exe est introuvable ou ne peut pas être lancé.",
     "The program Quenby.exe cannot be found or started."},
    // CompanionWindowFailed
    {"Le récepteur compagnon de Talvex (talvex --receiver) ne peut pas être lancé.",
     "Talvex's companion receiver (talvex --receiver) cannot be started."},
    // ReceiverTitle
    {"Récepteur Talvex", "Talvex Receiver"},
    // ReceiverListening
    {"En écoute sur %1", "Listening on %1"},
    // ReceiverNotListening
    {"Aucune écoute", "Not listening"},
    // ReceiverCount
    {"Messages reçus : %1", "Messages received: %1"},
    // ReceiverRate
    {"%1 messages par seconde", "%1 messages per second"},
    // ReceiverPause
    {"&Pause de la vue", "&Pause the view"},
    // ReceiverResume
    {"&Reprendre la vue", "&Resume the view"},
    // ReceiverClear
    {"&Effacer", "&Clear"},
    // ReceiverSave
    {"&Enregistrer...", "&Save..."},
    // ReceiverSaveTitle
    {"Enregistrer les derniers messages", "Save the last messages"},
    // ReceiverSaveFailed
    {"Le fichier « %1 » ne peut pas être écrit : %2", "The file \"%1\" cannot be written: %2"},
    // ReceiverPaused
    {"Vue en pause : la réception continue.", "View paused: reception goes on."},
    // ReceiverPrivileged
    {"Le port %1 demande des privilèges : les ports inférieurs à 1024 sont réservés à l'administrateur. "
     "Choisissez un port de 1024 ou plus, ici et comme port de destination de l'émetteur.",
     "Port %1 needs privileges: ports below 1024 are kept for the administrator. Choose a port of 1024 or "
     "more, here and as the sender's destination port."},
    // ReceiverInUse
    {"Le port %1 est déjà utilisé par un autre programme. Choisissez un autre port, ici et comme port de "
     "destination de l'émetteur.",
     "Port %1 is already used by another program. Choose another port, here and as the sender's destination "
     "port."},
    // ReceiverListenFailed
    {"Impossible d'écouter sur %1 : %2", "Cannot listen on %1: %2"},
    // ReceiverOtherPort
    {"Autre port :", "Other port:"},
    // ReceiverListenButton
    {"É&couter", "&Listen"},
    // SourceUnreadable
    {"Impossible de lire la source « %1 ».\n%2", "The source \"%1\" cannot be read.\n%2"},
    // NoSourceChosen
    {"Aucune source n'est choisie.", "No source is chosen."},
    // SourceFileMissing
    {"Ce fichier n'existe pas.", "This file does not exist."},
    // SourceFolderMissing
    {"Le dossier « Logs Source » n'existe pas.", "The folder \"Logs Source\" does not exist."},
    // SourceNotAFile
    {"Ce n'est pas un fichier lisible.", "This is not a readable file."},
    // SourceBadName
    {"Ce nom ne peut pas être celui d'un fichier.", "No file can have this name."},
    // SourceAccessDenied
    {"L'accès à ce fichier est refusé.", "Access to this file is denied."},
    // SourceReadError
    {"Erreur de lecture.", "Read error."},
    // OutputIsSource
    {"Le fichier de sortie est la source elle-même (par un autre nom ou un lien) : %1",
     "The output file is the source itself (by another name or a link): %1"},
};
static_assert(std::size(Messages) == StringTable::MessageCount, "one pair of texts for each message");

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

QString message(Message m, int languageOffset) {
    const MessageTexts& texts = Messages[static_cast<int>(m)];
    return QString::fromUtf8(languageOffset == 1 ? texts.english : texts.french);
}

} // namespace StringTable
