#pragma once

#include <QString>

// How a member page refers to its pictures. A stored reference never holds a path of this computer:
// "file://_app.path_\family\x.png" (or "_app.bg_" for the page background) stands for the file
// family/x.png in the temp folder of the book. The stored form keeps its "\" separators, as older
// books have them; they become "/" only where a file is reached.
namespace picture_refs {

// GetAppPath() + "temp", without a trailing "/".
QString TempFolder();
// GetAppPath() + "chm/images/": the pictures of help and e-book output.
QString ChmImagesFolder();

// The stored reference of a picture source: "file://" + a full local path, or a web address
// (saved below the temp folder, see DownloadTarget). A file below the temp folder keeps its path
// below it; any other file keeps its whole path. "" when the source has no "//" or names no file.
// The main window rewrites the references of a page it saves with this same rule.
QString StoredReference(const QString& source, bool background);

// Whether the address is fetched from the web: its part before "//" is "http:" or "https:".
bool IsWebAddress(const QString& address);

// The file a web address is saved to: the address's folders below the host, inside the temp
// folder. "" when the address names no file.
QString DownloadTarget(const QString& address);

// The file in the temp folder that a stored reference stands for. The path is normalised and kept
// inside the temp folder: "..", a drive or doubled separators cannot lead out of it. "" when the
// reference has no "//" or names no file.
QString PictureFile(const QString& storedReference);

// The same file as a path below the temp folder ("family/x.png"), reached without the book folder.
QString PictureBelowTemp(const QString& storedReference);

// The page text with every placeholder reference replaced by its file in the temp folder (as
// PictureFile finds it), so that a browser shows the extracted pictures.
QString ResolvePageReferences(const QString& text);

// Time allowed for one picture download, in milliseconds (10 s unless changed): a page's pictures are
// fetched one after another while the user waits for the save.
int DownloadTimeoutMs();
void SetDownloadTimeoutMs(int ms);

// The most bytes a picture from the web may have: what the community server keeps of one picture
// (12 MiB less one byte). A larger one is not stored.
qint64 DownloadMaxBytes();
void SetDownloadMaxBytes(qint64 bytes);

}  // namespace picture_refs
