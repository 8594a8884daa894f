#include "setup_pack/setup_file.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "base/setup_format.h"
#include "common/file_io.h"
#include "common/utf8.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_writer.h"
#include "setup_pack/pack_error.h"
#include "setup_pack/running_checksum.h"

namespace {

// The package is read in pieces of readPiece, at most readAhead of them
// held at a time: of the sizes tried (256 KiB to 1 MiB, 2 to 8 pieces) the
// fastest, and the least memory.
constexpr size_t readPiece = size_t(256) << 10;
constexpr size_t readAhead = 4;

// True when the manifest's <assemblyIdentity> names the setup's assembly.
bool manifestNamesSetup(const pe::Image& stub) {
    const std::string name = std::string(" name=\"") + setup_format::manifestAssemblyName + "\"";
    for (const pe::Resource& resource : stub.resources()) {
        if (resource.type != pe::resourceId(setup_format::manifestType) ||
            resource.name != pe::resourceId(setup_format::manifestId))
            continue;
        std::string manifest(reinterpret_cast<const char*>(resource.data.data), resource.data.size);
        size_t identity = manifest.find("<assemblyIdentity");
        size_t end = manifest.find('>', identity);
        if (identity != std::string::npos && end != std::string::npos &&
            manifest.substr(identity, end - identity).find(name) != std::string::npos)
            return true;
    }
    return false;
}

// Pieces of a file read ahead: buffers that the reading thread fills in
// turn and the writing thread empties in the same order. Either side stops
// both, so that neither waits for a side that failed.
class Ring {
  public:
    Ring(size_t count, size_t pieceSize)
        : buffers_(count, std::vector<uint8_t>(pieceSize)), sizes_(count) {}
    // The next buffer to fill, once the writer is done with it; null once
    // stopped.
    uint8_t* toFill() {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return stopped_ || filled_ - taken_ < buffers_.size(); });
        return stopped_ ? nullptr : buffers_[filled_ % buffers_.size()].data();
    }
    // Hands the buffer from toFill() to the writer, holding `size` bytes.
    void filled(size_t size) {
        std::lock_guard<std::mutex> hold(lock_);
        sizes_[filled_ % buffers_.size()] = size;
        ++filled_;
        changed_.notify_all();
    }
    // The oldest filled buffer's bytes, once there is one; false once
    // stopped.
    bool next(common::ByteView& piece) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return stopped_ || filled_ > taken_; });
        if (stopped_)
            return false;
        const size_t slot = taken_ % buffers_.size();
        piece = common::ByteView(buffers_[slot].data(), sizes_[slot]);
        return true;
    }
    // Gives the buffer from next() back to the reader.
    void taken() {
        std::lock_guard<std::mutex> hold(lock_);
        ++taken_;
        changed_.notify_all();
    }
    void stop() {
        std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
        changed_.notify_all();
    }

  private:
    std::vector<std::vector<uint8_t>> buffers_;
    std::vector<size_t> sizes_;
    std::mutex lock_;
    std::condition_variable changed_;
    size_t filled_ = 0, taken_ = 0; // buffers handed over so far each way
    bool stopped_ = false;
};

} // namespace

common::Bytes wideTextResource(const std::string& text) {
    std::u16string wide = common::toUtf16(text);
    wide.push_back(u'\0');
    common::Bytes bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t unit : wide)
        common::appendLe16(bytes, unit);
    return bytes;
}

std::string defaultStubPath(const std::string& name) {
    const std::string folder = common::programFolder();
    const std::string beside = folder + name;
    const std::string installed = common::joinPath(
        folder, std::string("..") + common::pathSeparator + "share" + common::pathSeparator +
                    "setup-pack" + common::pathSeparator + name);
    return !common::isFile(beside) && common::isFile(installed) ? installed : beside;
}

pe::Image readProgram(common::ByteView bytes, const std::string& path) {
    try {
        return pe::Image(bytes);
    } catch (const pe::NotAProgram&) {
        throw PackError(packBadInput, path, "is not a Windows program (no PE headers)");
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, path,
                        std::string("is a broken Windows program: ") + error.what());
    }
}

void checkStub(const pe::Image& stub, const std::string& path) {
    bool hasDialog = stub.find(pe::resourceId(setup_format::dialogType),
                               pe::resourceId(setup_format::setupDialogId),
                               setup_format::resourceLanguage) != nullptr;
    if (!hasDialog || !manifestNamesSetup(stub))
        throw PackError(packBadInput, path,
                        "is not the setup stub (no language dialog or \"Setup\" manifest)");
    if (stub.find(pe::resourceId(setup_format::resourceType),
                  pe::resourceName(setup_format::packageResource), setup_format::resourceLanguage))
        throw PackError(packBadInput, path,
                        "already carries a package; give the empty stub setup.exe");
    if (stub.certificateSize() != 0)
        throw PackError(packBadInput, path,
                        "is signed; packing would break its signature: give the unsigned stub "
                        "and sign the packed setup");
}

void writeSetup(const pe::Image& stub, const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources,
                const std::vector<const common::MappedFile*>& sources) {
    std::vector<pe::ImageWriter::Piece> pieces;
    try {
        pe::ImageWriter writer(stub);
        for (const PackResource& resource : resources)
            writer.setResource(pe::resourceId(setup_format::resourceType),
                               pe::resourceName(resource.name.c_str()),
                               setup_format::resourceLanguage, resource.data);
        pieces = writer.buildWithoutChecksum();
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, stubPath, std::string("cannot be filled: ") + error.what());
    }
    std::vector<common::ByteView> parts;
    std::vector<const common::MappedFile*> partSources;
    for (const pe::ImageWriter::Piece& piece : pieces) {
        parts.emplace_back(piece.data(), piece.size());
        const common::MappedFile* source = nullptr;
        for (const common::MappedFile* file : sources)
            if (piece.isView && parts.back().data >= file->bytes().begin() &&
                parts.back().end() <= file->bytes().end())
                source = file;
        partSources.push_back(source);
    }
    pe::PeLayout layout;
    pe::readPeLayout(parts.front().data, parts.front().size, layout);
    writingTo(outPath, [&] {
        common::OutputFile out(outPath);
        RunningChecksum checksum(layout.checksumOffset);
        Ring ring(readAhead, readPiece);
        // The parts that lie in a file are read from it on a second thread,
        // a few pieces ahead of this one, which sums and writes every part
        // in order: the reads overlap the writes, each byte is read once,
        // and the memory held is the ring's whatever the package's size.
        common::runAlongside(
            [&] {
                try {
                    for (size_t i = 0; i < parts.size(); ++i) {
                        for (size_t at = 0; partSources[i] && at < parts[i].size; at += readPiece) {
                            common::ByteView piece =
                                parts[i].slice(at, std::min(readPiece, parts[i].size - at));
                            uint8_t* into = ring.toFill();
                            if (!into)
                                return;
                            partSources[i]->read(piece, into);
                            ring.filled(piece.size);
                        }
                    }
                } catch (...) {
                    ring.stop();
                    throw;
                }
            },
            [&] {
                try {
                    for (size_t i = 0; i < parts.size(); ++i) {
                        if (!partSources[i]) {
                            checksum.add(parts[i]);
                            out.write(parts[i]);
                            continue;
                        }
                        common::ByteView piece;
                        for (size_t left = parts[i].size; left > 0; left -= piece.size) {
                            if (!ring.next(piece))
                                return;
                            checksum.add(piece);
                            out.write(piece);
                            ring.taken();
                        }
                    }
                } catch (...) {
                    ring.stop();
                    throw;
                }
            });
        uint8_t field[4];
        common::putLe32(field, checksum.value());
        out.writeAt(layout.checksumOffset, common::ByteView(field, sizeof field));
        out.commit();
    });
}
