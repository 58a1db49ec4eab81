#pragma once

#include <QString>
#include <QStringList>

namespace pq {

class ListPane;
class Runtime;
struct Workspace;

// "Load List From Text File" under List 1 and List 2: appends every line of every file
// chosen in the open dialog to the pane. Refused while another list file is loading.
void PushButton3_Click(Workspace& ws);
void PushButton2_Click(Workspace& ws);

// Files dropped on List 1 or List 2 (`paneNumber` 1 or 2): loaded in the order given exactly
// as that pane's load command loads the files chosen in its dialog, with its busy pointer,
// its reports and its refusal while another list file is loading.
void LoadDroppedFiles(Workspace& ws, int paneNumber, const QStringList& paths);

// Appends the lines of the list file at `path` to `pane` (location "Main.FileToListbox").
// A missing file is answered with "File not found". A file that cannot be opened or read
// is reported once and adds no item: the whole file is read before anything is appended.
void FileToListbox(ListPane& pane, const QString& path, Runtime& runtime);

// Collapses doubled backslashes of a joined Windows path in one left-to-right pass
// (three in a row become two); a leading run of any length becomes exactly two.
QString CollapseBackslashes(const QString& path);

// The path of one file of a multiple selection, from the folder and the file's name.
// Here "/" separates them (never doubled after the root folder) and a backslash is an
// ordinary character of a name; on Windows the join goes through CollapseBackslashes.
QString joinChosenFile(const QString& folder, const QString& name);

} // namespace pq
