// QENImageProgress: the progress of an install or repair run whose scripts report none of their
// own, measured by the payload image: the files of its "Assets" folder that the scripts have
// copied or compared so far, against all of them. A file read twice in a row (compared, then
// copied back) counts once. The controller hears of it each time the whole percent changes, so
// a file costs a comparison of its path and no more.
#pragma once

#include "QEN/source/mac/QENController.h"
#include "QEN/source/mac/QENEngine.h"

#include <cstddef>
#include <string>

class FileSystemPath;

class QENImageProgress {
public:
    QENImageProgress(QENEngine& engine, QENController& controller);

    // A file that the scripts copied or compared; one of the image's files counts towards the
    // progress. The image is counted the first time.
    void FileRead(const FileSystemPath& path);
    // The scripts reported progress themselves: nothing is measured until the next payload
    // section begins.
    void ScriptReported() { scriptReports_ = true; }
    void BeginPayloadSection() { scriptReports_ = false; }

private:
    // Counts the image's files, when the run has an image ("QEN_ASSETS").
    void Start();

    QENEngine& engine_;
    QENController& controller_;
    bool started_;
    bool scriptReports_;
    std::string assets_;  // the image's "Assets" folder followed by "/"; empty without an image
    std::size_t total_;   // files in the image
    std::size_t read_;    // of those, read so far
    std::string last_;    // the image file counted last
    unsigned percent_;    // the whole percent reported last
};
