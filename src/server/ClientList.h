#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class AnswerLines;

// The server's client accounts as texts: the account table that GetClientList (+9) answers, the
// client list text that SaveClientList (+7) takes, the name rules that keep that text sound, the
// sort of the account grid, the INI menu file and the registered-clients answer. No windows here;
// the accounts window and the command-line tool both build on these.
namespace ClientList {

inline constexpr int WorkstationCount = 6;
// Letters of the workstations in the client list text, in the order of grid columns 3 to 8:
// cataloguer, reader, circulation, acquisitions, book provision, administrator.
inline constexpr std::array<char16_t, WorkstationCount> WorkstationLetters{ u'C', u'R', u'B', u'M', u'K',
    u'A' };

// Columns of the account grid: number, name, password, then the six workstation INI files.
inline constexpr int NumberColumn = 0;
inline constexpr int NameColumn = 1;
inline constexpr int PasswordColumn = 2;
inline constexpr int FirstIniColumn = 3;
inline constexpr int ColumnCount = FirstIniColumn + WorkstationCount;

// What the grid shows instead of a password; also the line that ends every server text list.
inline const QString HiddenPassword = QStringLiteral("*****");
inline const QString ListEnd = QStringLiteral("*****");
// Appended to the name of an account that repeats an earlier one (name and password).
inline const QString DuplicateMark = QStringLiteral("_DUBLICATE");

// A table has at most this many columns; a larger count is a damaged answer, not a table.
inline constexpr int MaxColumnCount = 256;

using IniNames = std::array<QString, WorkstationCount>;

// One account as the client list text carries it.
struct Account
{
    QString name;
    QString password;
    IniNames ini; // an empty name stands for a workstation the client may not use
};

// --- the account table (GetClientList) ---------------------------------------------------------

// Rows as the grid holds them: every row has `columnCount` cells and its password cell shows
// HiddenPassword; the real passwords are in `passwords`, entry i for row i.
struct AccountTable
{
    int columnCount = ColumnCount;
    QList<QStringList> rows;
    QStringList passwords;
};

// Parses the whole answer of GetClientList, its return code line first. A table that is not
// what it announces is refused as a whole (with the reason in *error), because saving a partial
// list would remove the missing accounts from the server: counts that are not decimal numbers,
// fewer columns than the grid needs or an absurd number of them, fewer lines than the accounts
// announced. Nothing is allocated from the announced counts.
std::optional<AccountTable> parseAccountTable(const QStringList &answer, QString *error);
std::optional<AccountTable> parseAccountTable(const AnswerLines &answer, QString *error);

// Rows of a table as accounts, passwords from the separate list (missing entries count empty).
QList<Account> accountsFromRows(const QList<QStringList> &rows, const QStringList &passwords);

// --- the client list text (SaveClientList) -----------------------------------------------------

// The workstation line: "L=name; " for each workstation in the order C, R, B, M, K, A whose
// name differs from its default (exactly); empty when all six are the defaults.
QString iniLine(const IniNames &ini, const IniNames &defaults);

// The text to send: name, password and workstation line of each account, then "*****". An
// account that repeats an earlier one (name and password, letter case ignored) gets
// DuplicateMark appended to its name, in `accounts` as well; the indexes of the marked accounts
// go to *marked when given.
QStringList buildClientListText(
    QList<Account> &accounts, const IniNames &defaults, QList<int> *marked = nullptr);
// The same text as SaveClientList sends it, from rows as the account table holds them (passwords
// apart): Windows-1251, CR LF after every line, written once into a buffer sized in advance. Marks
// go into the rows.
QByteArray clientListBytes(QList<QStringList> &rows, const QStringList &passwords, const IniNames &defaults,
    QList<int> *marked = nullptr);

// Reads a client list text back (the command-line import and the tests use it): accounts up to
// the line "*****"; an account's missing workstations are at their defaults. nullopt, with the
// reason, when the text does not end with "*****" or breaks off inside an account.
std::optional<QList<Account>> parseClientListText(
    const QStringList &lines, const IniNames &defaults, QString *error);

// --- name rules --------------------------------------------------------------------------------

// Why a value would break the client list text, as a sentence for the administrator; empty when
// it is fine. Refused are only a line break, a zero character, the binary marker and characters
// outside the Windows-1251 letters of the wire; a name must also be non-empty, a name or a
// password must not be the list end "*****", and a workstation INI name must hold no ";" or
// "=", which separate the entries of its line. Whatever else the server keeps (an empty
// password, a tab) goes through.
QString nameProblem(const QString &name);
QString passwordProblem(const QString &password);
QString iniNameProblem(const QString &iniName);
// The first problem of a whole account (workstation names that are empty are fine).
QString accountProblem(const Account &account);
// The same for a row of the account table and its password, without making the account.
QString rowProblem(const QStringList &row, const QString &password);

// Index of the first name other than `skip` that equals `name` once Latin letters a–z are
// upper-cased (as the server compares them), or -1.
qsizetype findDuplicateName(const QStringList &names, const QString &name, qsizetype skip);

// --- sorting -----------------------------------------------------------------------------------

// Order of the values sorted ascending, ignoring letter case in the user's locale (Cyrillic
// included); equal values keep their order. Entry i is the index of the value that goes to
// position i.
QList<qsizetype> caseIgnoringOrder(const QStringList &values);

// Sorts rows by a column, keeping each password with its row and following one row: *current
// (an index into rows, or -1) is changed to where that row went. Column 0 is renumbered 1, 2, ….
void sortAccountRows(QList<QStringList> &rows, QStringList &passwords, int column, qsizetype *current);

// --- the INI menu file -------------------------------------------------------------------------

struct IniMenuEntry
{
    QString fileName; // the name line up to its first ".", with ".ini"
    QString description;
};

// The entries of the INI menu file: pairs of a name line and a description line, up to a line
// "*****"; a last name line without its description is left out.
QList<IniMenuEntry> parseIniMenu(const QStringList &lines);
// A name line as the chooser shows it: cut before its first "." and ".ini" appended.
QString iniMenuFileName(const QString &nameLine);

// --- registered clients (GetRegisteredClients) -------------------------------------------------

struct RegisteredClients
{
    QString requestCounter;
    int columnCount = 1;
    QList<QStringList> rows; // every row has columnCount cells
};

// Parses the answer of GetRegisteredClients, its return code line first; nullopt unless that is
// "0". Counts that are not numbers count as 0; an answer that ends early fills fewer rows, and
// a row that the answer only began keeps its other cells empty. A column count beyond
// MaxColumnCount is a damaged answer (nullopt). Nothing is allocated from the announced counts.
std::optional<RegisteredClients> parseRegisteredClients(const QStringList &answer);

} // namespace ClientList
