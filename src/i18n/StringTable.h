// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The string numbers of the table: n gives the French text 100 + n and the English one 101 + n.
// Beside each, its French text / its English text (one text when both are the same).
namespace Str {
constexpr int SourceButton = 1;      // &Logs Source / Source &Logs
constexpr int SourceFrame = 3;       // Source
constexpr int WritingFrame = 5;      // Ecriture / Writing
constexpr int SyslogFrame = 7;       // Syslog
constexpr int Lines = 9;             // Lignes / Lines
constexpr int Sequential = 11;       // Séquentielle / Sequential
constexpr int Random = 13;           // Aléatoire / Random
constexpr int Loop = 15;             // Infinie / Loop
constexpr int DelayLabel = 17;       // Délai écriture / Write Delay
constexpr int FileOption = 19;       // Fichier / File
constexpr int PortLabel = 21;        // Port UDP / UDP Port
constexpr int HostLabel = 23;        // Dest IP / IP Dest
constexpr int QuitButton = 25;       // &Quitter / Exit
constexpr int ReadSourceButton = 27; // &Lecture Source / Src &Reading
constexpr int CompanionButton = 29;  // &Quenby
constexpr int HelpHint = 31;         // F1; Aide / F1: Help
constexpr int OutputFrame = 33;      // Sortie / Std Out
constexpr int Choose = 35;           // Votre Choix... / Your Choice...
constexpr int UnknownError = 37;     // Erreur Inconnue / Unknown Error
constexpr int LoopCaption = 39;      // Ecriture (en boucle) / Writing (Loop)
constexpr int FileBefore = 41;       // Le fichier / File
constexpr int FileExists = 43;       // .txt existe. / .txt exists.
constexpr int AddOrReplace = 45;     // Voulez vous ajouter des logs (Oui). ... / Do you want add Logs ...
constexpr int FileTitle = 47;        // Fichier / File
constexpr int GenerationOf = 49;     // La génération du fichier / The file generation of
constexpr int GenerationDone = 51;   // .txt est terminée. / .txt is done.
constexpr int DelayRange = 53;  // La valeur du délai d'écriture doit être ... / Writing delay value ...
constexpr int Information = 55; // Information
constexpr int PortRange = 57;   // La valeur du port UDP doit être ... / UDP Port value ...
constexpr int Already = 59;     // Il y a déjà / Already
constexpr int InMemory = 61;    // Talvex en mémoire. ... / Talvex running in memory. ...
constexpr int LimitTitle = 63;  // Seuil Maximum / Trigger
} // namespace Str

// The 64 interface texts, ids 101..164: French on the odd id, English on the next even id.
namespace StringTable {
constexpr int IdBase = 100;
constexpr int FirstId = 101;
constexpr int LastId = 164;

// The text with this id; an empty string for an id outside 101..164.
QString text(int id);
// The text of string number n (odd, 1..63) in the language selected by languageOffset
// (0 French, 1 English): id IdBase + n + languageOffset.
QString lookup(int n, int languageOffset);

// The program's own messages that have no id of the table, each in both languages.
enum class Message {
    HelpMissing,         // neither a help file nor the installed manual
    HelpFileNotOpened,   // Talvex.chm is there but would not open
    ManualNotOpened,     // the installed manual would not open
    WarningTitle,        // title of the warnings below
    SettingsNotWritable, // Talvex.ini cannot be written: changes will not be kept
    SettingsBusy,        // another copy holds Talvex.ini's slot lock too long
    FolderUnusable,      // a lock or record file of the folder is not a regular file
    CompanionFailed,     // Quenby.exe cannot be started
    // The companion receiver: the button's fallback, and its window's captions and messages.
    CompanionWindowFailed, // talvex --receiver cannot be started
    ReceiverTitle,
    ReceiverListening, // "%1" the addresses
    ReceiverNotListening,
    ReceiverCount, // "%1" the number of messages
    ReceiverRate,  // "%1" messages per second
    ReceiverPause,
    ReceiverResume,
    ReceiverClear,
    ReceiverSave,
    ReceiverSaveTitle,
    ReceiverSaveFailed, // "%1" the file, "%2" the reason
    ReceiverPaused,
    ReceiverPrivileged,   // "%1" the port
    ReceiverInUse,        // "%1" the port
    ReceiverListenFailed, // "%1" the address, "%2" the reason
    ReceiverOtherPort,
    ReceiverListenButton,

    SourceUnreadable, // "%1" the source's path, "%2" one of the reasons below
    NoSourceChosen,
    SourceFileMissing,
    SourceFolderMissing,
    SourceNotAFile,
    SourceBadName,
    SourceAccessDenied,
    SourceReadError,
    OutputIsSource, // "%1" the output file's path: it is the source itself, by another name
};
constexpr int MessageCount = static_cast<int>(Message::OutputIsSource) + 1;

// The message in the language selected by languageOffset (0 French, 1 English).
QString message(Message m, int languageOffset);
} // namespace StringTable
