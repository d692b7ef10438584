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
    qint32 NodesPerPage = 30;
    qint32 CurrentPage = 1;
    bool RepaginateNeeded = false;
    bool GenerationsMarked = false;
    QString RootAncestorName;

    // Input defaults of the set-up form.
    qint32 SurnameLength = 1;
    qint32 ChildInputStyle = 1;
    bool DefaultAlive = true;
    QString DefaultTitle;
    QString DefaultTitleSuffix;
    QString DefaultFolk;

    // Language state: 0 Simplified, 1 Traditional.
    qint32 LanguageId = 0;
    qint32 PrevLanguageId = 0;

    QString StrgPswdDigest;
    qint16 ListDialogOk = 0;

    // Shared objects: the launcher creates Translator and CurrentUser, the main window SharedMember.
    std::shared_ptr<ClsLanguage> Translator;
    std::shared_ptr<Cls_User> CurrentUser;
    std::shared_ptr<Cls子女> SharedMember;

    // The book files: DataDb stays open for the run, the others are opened around each use.
    dao::Database DataDb;
    dao::Database ImageDb;
    dao::Database DescriptDb;
    dao::Database ExclusiveDb;
};

AppState& App();
// Back to the start-up values, all handles released (tests).
void ResetAppState();
