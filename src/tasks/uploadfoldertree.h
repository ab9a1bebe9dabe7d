#pragma once

#include <QString>

#include <functional>

class ListingBuffer;
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

// Makes sure hostFolder exists before anything is sent into it, like "mkdir -p": queues a
// "c*mkd " entry for each folder on the way from the top down to hostFolder (itself included)
// that may be missing. A folder counts as present when it is "\", when it is buffered, or when
// its buffered parent lists it; a folder whose "c*mkd" entry already waits is not queued twice.
// A folder that turns out to exist costs one refused MKD. hostFolder is in the internal folder
// form; returns the number of entries queued.
int QueueMissingHostFolders(const QString &hostFolder,
                            const ListingBuffer &buffer,
                            TransferQueue &queue);
