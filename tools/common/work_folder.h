#pragma once
// A folder for the intermediate files of one run (the signed package, the
// setup before it is signed), made new beside the final output so that the
// last step is a rename within one file system, and removed with all it
// holds when the run ends, however it ends. Paths are UTF-8. Failures throw
// common::SystemError (file_io.h), whose text leaves naming the output's
// path to the caller.
#include <string>

namespace common {

class WorkFolder {
  public:
    // Makes a new folder with a random name (".setup-pack-" and six more
    // characters) in the folder of `besidePath`; on POSIX only the user may
    // open it, on Windows it has its parent's access.
    explicit WorkFolder(const std::string& besidePath);
    // Removes the folder and everything in it; never throws.
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }
    // `name` inside the folder (not created); "/" separates the names of a
    // path below it.
    std::string file(const std::string& name) const;
    // Makes the folder `name` inside it.
    void makeFolder(const std::string& name) const;

  private:
    std::string path_;
};

// Moves `from` onto `to` in one step, replacing a file there.
void replaceFile(const std::string& from, const std::string& to);

// The file's own name in a path: what follows the last '/' (on Windows also
// '\\' or ':').
std::string baseName(const std::string& path);

} // namespace common
