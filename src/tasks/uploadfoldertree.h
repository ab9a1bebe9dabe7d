#pragma once

#include <QString>

#include <functional>

class TransferQueue;

// Queues a local folder tree for sending below hostFolder, depth first and in name order: a
// "c*mkd " entry for every sub-folder before the entries of its files and sub-folders, and one
// "u*" entry per file. The contents of localFolder itself go directly into hostFolder (the
// caller queues the "c*mkd" of hostFolder when it wants one).
//
// Symbolic links to folders are never followed (a link to a parent would never end); names
// that cannot travel in a queue entry ("*" anywhere, "\" in a local name) and entries that are
// neither files nor folders are skipped. Each skip calls warn with a warning line for the log
// and whether the skip makes the upload incomplete (false for links, left out by design).
// localFolder is in the internal local form, hostFolder in the internal folder form. Returns
// the number of entries queued.
int UploadFolderTree(const QString &localFolder,
                     const QString &hostFolder,
                     TransferQueue &queue,
                     const std::function<void(const QString &line, bool fails)> &warn);
