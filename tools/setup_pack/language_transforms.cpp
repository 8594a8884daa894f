#include "setup_pack/language_transforms.h"

#include "msi_transform/generate.h"
#include "setup_pack/package_info.h"
#include "setup_pack/texts_files.h"

LanguageTransform languageTransform(const TransformInput& transform, common::ByteView package,
                                    const std::string& msiPath) {
    LanguageTransform result;
    std::unique_ptr<common::MappedFile> input = mapInput(transform.path);
    try {
        if (transform.source == TransformInput::Translation) {
            result.made = translationTransform(package, msiPath, transform.lcid, input->bytes(),
                                               transform.path);
        } else if (transform.source == TransformInput::Localized) {
            result.made = msi_transform::makeTransform(package, input->bytes());
        } else {
            msi_transform::checkTransform(input->bytes(), package);
            result.file = std::move(input);
        }
    } catch (const msi_transform::TransformError& error) {
        const bool base = error.input() == msi_transform::TransformError::Input::Base;
        throw PackError(packBadInput, base ? msiPath : transform.path, error.what());
    }
    return result;
}

void writeTransformFile(const std::string& msiPath, const TransformInput& source,
                        const std::string& outPath) {
    if (common::sameFile(outPath, msiPath))
        throw PackError(packBadInput, outPath, "the output would overwrite the package");
    if (common::sameFile(outPath, source.path))
        throw PackError(packBadInput, outPath,
                        source.source == TransformInput::Translation
                            ? "the output would overwrite the translation"
                            : "the output would overwrite the localized package");
    std::unique_ptr<common::MappedFile> base = mapInput(msiPath);
    LanguageTransform transform = languageTransform(source, base->bytes(), msiPath);
    writingTo(outPath, [&] { common::writeWholeFile(outPath, transform.bytes()); });
}
