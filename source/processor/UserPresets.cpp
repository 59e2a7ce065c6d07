#include "UserPresets.h"

#include "Presets.h"
#include "StateBounds.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    const juce::String extension { ".xml" };

    constexpr int longestName = 64;

    /** A file name holds at most NAME_MAX bytes, the extension included. */
    constexpr int longestNameInBytes = NAME_MAX - 4;

    /** The preset's file: <folder>/<name>.xml, and nothing else. The path is
        put together by hand (getChildFile takes a name starting with '~' as
        a path of its own) and checked once resolved: a direct child of the
        folder, named exactly after the preset. */
    std::optional<juce::File> fileFor (const juce::String& name)
    {
        if (! UserPresets::isSafeName (name))
            return std::nullopt;

        const auto folder = UserPresets::folder();
        const juce::File file (folder.getFullPathName() + juce::File::getSeparatorString() + name + extension);

        if (file.getParentDirectory() != folder || file.getFileName() != name + extension)
            return std::nullopt;

        return file;
    }

    /** Where a save writes first, beside the presets: a hidden name no
        preset can have (JUCE's own temporary name starts with the preset's
        name, and so would be taken as a path of its own as well). */
    juce::File temporaryFileIn (const juce::File& folder)
    {
        return folder.getChildFile (".saving-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()) + ".tmp");
    }

    /** A regular file, or a link to one; never opened. */
    bool isRegularFile (const juce::File& file)
    {
        struct stat status {};
        return ::stat (file.getFullPathName().toRawUTF8(), &status) == 0 && S_ISREG (status.st_mode);
    }

    class Descriptor
    {
    public:
        explicit Descriptor (int descriptorToOwn) : descriptor (descriptorToOwn) {}
        ~Descriptor() { if (descriptor >= 0) ::close (descriptor); }
        Descriptor (const Descriptor&) = delete;
        Descriptor& operator= (const Descriptor&) = delete;

        int get() const noexcept { return descriptor; }

    private:
        int descriptor;
    };

    UserPresets::FileReading refused (const juce::String& why) { return { std::nullopt, why }; }

    const char* const notARegularFile = "not a regular file (a folder, a device or a pipe): nothing loaded";
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
    if (name.isEmpty() || name.length() > longestName || (int) name.getNumBytesAsUTF8() > longestNameInBytes
        || name.startsWithChar ('.') || name.trim() != name)
        return false;

    for (const auto c : name)
        if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == '/' || c == '\\')
            return false;

    return true;
}

bool isFactoryName (const juce::String& name)
{
    return Presets::findFactory (name).has_value();
}

juce::String proposedName (const juce::String& currentName)
{
    if (! isFactoryName (currentName))
        return currentName;

    for (int n = 2;; ++n)
    {
        const auto candidate = currentName + " " + juce::String (n);

        if (! isFactoryName (candidate) && ! exists (candidate))
            return candidate;
    }
}

juce::StringArray names()
{
    juce::StringArray found;

    for (const auto& file : folder().findChildFiles (juce::File::findFiles, false, "*" + extension))
    {
        const auto name = file.getFileNameWithoutExtension();

        if (isSafeName (name) && ! isFactoryName (name) && isRegularFile (file))
            found.add (name);
    }

    found.sortNatural();
    return found;
}

bool exists (const juce::String& name)
{
    const auto file = fileFor (name);
    return file.has_value() && file->exists();
}

SaveResult save (const juce::String& name, const juce::String& document, bool overwrite)
{
    const auto file = fileFor (name);

    if (! file.has_value())
        return SaveResult::unsafeName;

    if (isFactoryName (name))
        return SaveResult::factoryName;

    if (file->exists() && ! overwrite)
        return SaveResult::exists;

    if (! folder().createDirectory())
        return SaveResult::failed;

    // Written beside and moved in place, so a failed write leaves the old preset whole.
    juce::TemporaryFile temporary (*file, temporaryFileIn (folder()));

    if (! temporary.getFile().replaceWithText (document, false, false, "\n") || ! temporary.overwriteTargetFileWithTemporary())
        return SaveResult::failed;

    return SaveResult::saved;
}

FileReading read (const juce::String& name)
{
    if (const auto file = fileFor (name))
        return readFile (*file);

    return refused ("cannot be a preset name");
}

FileReading readFile (const juce::File& file)
{
    // A device is never opened (opening one can already do something), a
    // regular file is opened without waiting (a pipe put in its place would
    // never answer), and what was opened is checked again: a link is followed
    // once, by open itself.
    if (file.exists() && ! isRegularFile (file))
        return refused (notARegularFile);

    const Descriptor opened (::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));

    if (opened.get() < 0)
        return refused (errno == ENOENT ? "no such file" : "cannot open it");

    struct stat status {};

    if (::fstat (opened.get(), &status) != 0 || ! S_ISREG (status.st_mode))
        return refused (notARegularFile);

    const auto tooLarge = "larger than any preset can be (" + juce::String (StateBounds::largestText / 1024) + " KB at most): nothing loaded";

    if (status.st_size > StateBounds::largestText)
        return refused (tooLarge);

    // One byte more than allowed tells a file that grew since.
    juce::MemoryBlock bytes ((size_t) StateBounds::largestText + 1);
    size_t total = 0;

    while (total < bytes.getSize())
    {
        const auto got = ::read (opened.get(), static_cast<char*> (bytes.getData()) + total, bytes.getSize() - total);

        if (got < 0 && errno == EINTR)
            continue;

        if (got < 0)
            return refused ("cannot read it");

        if (got == 0)
            break;

        total += (size_t) got;
    }

    if (total > (size_t) StateBounds::largestText)
        return refused (tooLarge);

    // Kept byte for byte: the reader checks the text before anything parses it.
    bytes.setSize (total);
    return { std::move (bytes), {} };
}

bool remove (const juce::String& name)
{
    const auto file = fileFor (name);
    return file.has_value() && file->existsAsFile() && file->deleteFile();
}

} // namespace UserPresets
