#pragma once
// Language transforms made and checked from the bytes of the files, without
// any system call: the same transform bytes on every platform.
#include <functional>
#include <stdexcept>
#include <string>

#include "common/bytes.h"
#include "common/format_error.h"
#include "msi_database/database.h"

namespace msi_transform {

// A refusal naming which input is at fault and why (UTF-8, without the
// file's name: the caller knows it).
class TransformError : public std::runtime_error {
  public:
    enum class Input { Base, Localized, Transform };
    TransformError(Input input, const std::string& reason)
        : std::runtime_error(reason), input_(input) {}
    Input input() const { return input_; }

    // What `read` returns; a common::FormatError it throws becomes a
    // TransformError naming `input`, its text after `context`.
    template <class Read>
    static auto wrap(Input input, const std::string& context, const Read& read)
        -> decltype(read()) {
        try {
            return read();
        } catch (const common::FormatError& error) {
            throw TransformError(input, context + error.what());
        }
    }

  private:
    Input input_;
};

// The transform (the bytes of its compound file) from the package `base` to
// the localized package of the same product. Throws TransformError naming
// the input at fault: no installer database, a broken database, any
// refusal of diffDatabases (Localized), a table text the pool's code page
// cannot hold (Localized). A summary text the summary's code page cannot
// hold is written with `?` for each such character, as Windows does.
common::Bytes makeTransform(common::ByteView base, common::ByteView localized);

// The transform from the package `base` to a copy of it that `localize`
// changes in memory (a translation of its texts), with the summary of
// `base`. Throws as above, Localized naming the changed copy; what
// `localize` throws passes through.
common::Bytes makeTransform(common::ByteView base,
                            const std::function<void(msi_database::Database&)>& localize);

// The tables of an installer package, read and checked as makeTransform
// reads its inputs. Throws TransformError naming `input`.
msi_database::Database readPackageDatabase(common::ByteView bytes, TransformError::Input input);

// Throws TransformError(Transform) unless `transform` is an installer
// transform (a package or a patch is named as such) that applies to the
// package `base` as the Windows Installer applies it with no error
// suppressed (see applyTransform); TransformError(Base) for a base that is
// no installer database or a broken one.
void checkTransform(common::ByteView transform, common::ByteView base);

} // namespace msi_transform
