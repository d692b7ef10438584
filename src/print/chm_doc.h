#pragma once

#include <QString>
#include <memory>
#include <vector>

class Cls子女;
class Cls数据操作;

// One entry of the e-book's contents: a tree node's caption ("{generation}name[n]") and its children
// in the tree's order.
struct ChmTocNode {
    QString text;
    std::vector<ChmTocNode> children;
};

// The compiled HTML help e-book of a branch: member pages, a contents file mirroring the branch, a
// keyword index, compiled by chmcmd. Everything is built in a private work folder under chm/, whose
// only survivor is the finished e-book, moved into chm/; a site built there before stays.
class ClsChmDoc {
public:
    ClsChmDoc();
    ~ClsChmDoc();

    // Makes the folder (ending in "/") and its images/ subfolder and writes the empty start page sp.htm.
    void gn_SP(const QString& folder);
    // Writes the help project folder + file + ".hhp" for an e-book titled `name`.
    void gn_hhp(const QString& folder, const QString& file, const QString& name);
    // Builds and compiles the e-book of the branch under `node`, named after the node's member, into
    // chm/<name>.chm and tells the user how it went. True when the e-book was made.
    bool init_Nopen_Chm(const ChmTocNode& node, bool showDetails);
    // The contents entry of one node and its index entries, then its children's (folder: the work
    // folder the pages go to).
    void N_Open_Chm(const ChmTocNode& node, QString& contents, QString& index, const QString& folder,
                    bool showDetails);

    // The compiler run for the e-book; "chmcmd" unless replaced (tests name a failing one).
    static QString Compiler();
    static void SetCompiler(const QString& program);
    // The work files' base name: ASCII, as the compiler needs.
    static QString WorkName() { return QStringLiteral("book"); }

private:
    Cls子女& Member();
    Cls数据操作& Ops();
    // Runs the compiler in `folder`; "" when it made the e-book, else what went wrong.
    QString Compile(const QString& folder);

    std::unique_ptr<Cls子女> member_;
    std::unique_ptr<Cls数据操作> ops_;
    qint16 depth_ = 0;
};
