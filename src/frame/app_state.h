#pragma once

#include <QString>
#include <memory>

#include "platform/dao/dao_database.h"

class ClsLanguage;
class Cls_User;
class Cls子女;

// The module values and shared objects of the program, in one place so tests can reset them.
struct AppState {
    // Dialog parameters: set by the caller before a modal dialog, read back after it closes.
    QString FormParamString;
    QString FormParamString2;
    qint32 SelectedNodeIndex = 0;
    // The mode the prompt dialog FrmLittle opens in when it is shown by name (its RunType).
    quint8 LittleRunType = 0;

    // Result slot of HttpGetAsync, shared by all its callers and polled by them.
    QString AsyncReplyText;
    bool AsyncReplyDone = false;

    // Page state of the member tree.
    qint32 NodesPerPage = 0;  // loaded by the main window from the settings record
    qint32 CurrentPage = 1;
    bool RepaginateNeeded = false;
    bool GenerationsMarked = false;
    QString RootAncestorName;
    // The branch number and the state of the book files of that marking: it stands only while both
    // are unchanged.
    qint32 RootAncestorBranch = 0;
    QString RootAncestorBook;

    // Input defaults of the set-up form.
    qint32 SurnameLength = 1;
    qint32 ChildInputStyle = 1;
    bool DefaultAlive = false;  // the set-up form sets it
    QString DefaultTitle;
    QString DefaultTitleSuffix;
    QString DefaultFolk;

    // Language state: 0 Simplified, 1 Traditional.
    qint32 LanguageId = 0;
    qint32 PrevLanguageId = 0;

    QString StrgPswdDigest;
    qint16 ListDialogOk = 0;
    // The installation number sent with publications (set by the e-book library, see MakeSoftNo).
    QString SoftNo;
    // The credential the community server issued at the last log-on: each new server connection binds
    // to the account with it, and the pages that act for the account carry it. Kept in memory only; ""
    // while nobody is logged on.
    QString ServerCredential;
    // The server refused that credential as lapsed, and the user has not been told yet.
    bool CredentialLapsed = false;

    // Shared objects: the launcher creates Translator and CurrentUser, the main window SharedMember.
    std::shared_ptr<ClsLanguage> Translator;
    std::shared_ptr<Cls_User> CurrentUser;
    std::shared_ptr<Cls子女> SharedMember;

    // The book files: DataDb stays open for the run, the others are opened around each use.
    dao::Database DataDb;
    dao::Database ImageDb;
    dao::Database DescriptDb;
    dao::Database ExclusiveDb;

    // ---- The pedigree chart: its widths (set by the print-format dialog) and the chart browser's
    // preview state. Lengths in twips, font sizes in points; the starting values are the print command's
    // presets (PresetChartPreview).
    qint16 PrintNameLength = 3;          // name cell, in Chinese characters (2 to 50)
    qint16 PrintGenerationsPerRow = 12;  // generation columns per chart section (2 to 20)
    quint8 PreviewPaperKind = 2;         // row of the browser's paper list
    quint8 PreviewParamD = 10;           // table-line indicator: 2 or 10
    float PreviewSmallFontSize = 9.0f;   // chart text
    float PreviewFontSize = 20.0f;       // title
    qint16 PreviewOffsetRow = 2;         // cells of margin above the chart
    qint16 PreviewOffsetCol = 2;         // cells of margin left of the chart
    qint16 PreviewParamA = 0;            // rows reserved on every page
    qint16 PreviewParamB = 0;
    qint16 PreviewParamC = 1;
    qint16 PreviewCellWidth = 0;  // measured by every page drawing
    qint16 PreviewCellHeight = 0;
    float PreviewTopOffset = 1472.0f;  // bottom margin of a page
};

AppState& App();
// Back to the start-up values, all handles released (tests).
void ResetAppState();
