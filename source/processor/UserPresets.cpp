#include "UserPresets.h"

#include <cstdlib>

namespace
{
    const juce::String extension { ".xml" };

    /** Far more than any saved state of this plug-in: a larger file is not one. */
    constexpr juce::int64 largestDocument = 256 * 1024;

    constexpr int longestName = 64;

    juce::File fileFor (const juce::String& name)
    {
        return UserPresets::folder().getChildFile (name + extension);
    }
}

namespace UserPresets
{

juce::File folder()
{
    const auto* dataHome = std::getenv ("XDG_DATA_HOME");
    const juce::String given = dataHome != nullptr ? juce::String::fromUTF8 (dataHome) : juce::String();

    // The XDG rule: only an absolute path counts.
    const auto base = juce::File::isAbsolutePath (given)
                        ? juce::File (given)
                        : juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".local/share");

    return base.getChildFile ("Brakkle").getChildFile ("Presets");
}

bool isSafeName (const juce::String& name)
{
    if (name.isEmpty() || name.length() > longestName || name.startsWithChar ('.') || name.trim() != name)
        return false;

    for (const auto c : name)
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\')
            return false;

    return true;
}

juce::StringArray names()
{
    juce::StringArray found;

    for (const auto& file : folder().findChildFiles (juce::File::findFiles, false, "*" + extension))
        if (isSafeName (file.getFileNameWithoutExtension()))
            found.add (file.getFileNameWithoutExtension());

    found.sortNatural();
    return found;
}

bool exists (const juce::String& name)
{
    return isSafeName (name) && fileFor (name).existsAsFile();
}

SaveResult save (const juce::String& name, const juce::String& document, bool overwrite)
{
    if (! isSafeName (name))
        return SaveResult::unsafeName;

    const auto file = fileFor (name);

    if (file.exists() && ! overwrite)
        return SaveResult::exists;

    if (! folder().createDirectory())
        return SaveResult::failed;

    // Written beside and moved in place, so a failed write leaves the old preset whole.
    juce::TemporaryFile temporary (file);

    if (! temporary.getFile().replaceWithText (document, false, false, "\n") || ! temporary.overwriteTargetFileWithTemporary())
        return SaveResult::failed;

    return SaveResult::saved;
}

std::optional<juce::MemoryBlock> read (const juce::String& name)
{
    if (! isSafeName (name))
        return std::nullopt;

    return readFile (fileFor (name));
}

std::optional<juce::MemoryBlock> readFile (const juce::File& file)
{
    if (! file.existsAsFile() || file.getSize() > largestDocument)
        return std::nullopt;

    juce::MemoryBlock bytes;

    if (! file.loadFileAsData (bytes))
        return std::nullopt;

    // Kept byte for byte: the reader checks the text before anything parses it.
    return bytes;
}

bool remove (const juce::String& name)
{
    return isSafeName (name) && fileFor (name).existsAsFile() && fileFor (name).deleteFile();
}

} // namespace UserPresets
