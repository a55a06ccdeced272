#include "trace/XmlElement.h"

#include <cstdio>
#include <fstream>

#include <sys/stat.h>

namespace lunmark {

namespace {

// A byte is blank when, read as a signed 8-bit number, it is at most 32:
// control characters, space, and every byte from 0x80 up.
bool is_blank(char c) { return static_cast<signed char>(c) <= 32; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Opens a file for reading and tells its device and inode.  Only regular
// files count: a directory would read as empty, and a FIFO or device could
// block the library for good.
bool open_file(std::ifstream& in, const std::string& path, unsigned long long& device,
               unsigned long long& inode)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    device = st.st_dev;
    inode = st.st_ino;
    in.open(path, std::ios::binary);
    return static_cast<bool>(in);
}

bool at_least_A(char c) { return static_cast<signed char>(c) >= 'A'; }

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

// Hands out the lines of one file the way a 512-byte fgets loop would: at
// most 511 bytes per read, a longer physical line in pieces, text up to the
// first NUL byte.
class xml_main::LineSource {
public:
    LineSource(std::istream& in, std::string directory) : in_(in), directory_(std::move(directory)) {}

    bool read_line(std::string& line)
    {
        line.clear();
        std::streambuf* buf = in_.rdbuf();
        if (buf == nullptr)
            return false;
        bool any = false;
        while (line.size() < 511) {
            const int c = buf->sbumpc();
            if (c == std::char_traits<char>::eof())
                break;
            any = true;
            line.push_back(static_cast<char>(c));
            if (c == '\n')
                break;
        }
        const std::size_t nul = line.find('\0');
        if (nul != std::string::npos)
            line.resize(nul);
        return any;
    }

    const std::string& directory() const { return directory_; }

private:
    std::istream& in_;
    std::string directory_;
};

std::string xml_element::name() const
{
    if (text_.size() <= 1)
        return {};
    std::string_view rest(text_);
    rest.remove_prefix(1);
    while (!rest.empty() && is_blank(rest.front()))
        rest.remove_prefix(1);
    std::size_t end = rest.find(' ');
    if (end == std::string_view::npos)
        end = rest.find('>');
    if (end == std::string_view::npos || end == 0)
        return {};
    return std::string(rest.substr(0, end));
}

std::string xml_element::attribute(std::string_view attribute_name) const
{
    if (attribute_name.empty())
        return {};
    const std::size_t k = attribute_name.size();
    std::size_t from = 0;
    while (true) {
        const std::size_t pos = text_.find(attribute_name, from);
        if (pos == std::string::npos)
            return {};
        from = pos + 1;
        if (pos == 0 || at_least_A(text_[pos - 1]))
            continue;
        // The character after the expected equals sign; past the end of the
        // text it counts as the terminating NUL.
        const std::size_t after = pos + k + 1;
        if (after < text_.size() && at_least_A(text_[after]))
            continue;
        const std::size_t open = text_.find('"', pos);
        if (open == std::string::npos)
            return {};
        const std::size_t close = text_.find('"', open + 1);
        if (close == std::string::npos)
            return {};
        return text_.substr(open + 1, close - open - 1);
    }
}

std::string xml_element::attribute_name(std::size_t) const { return {}; }

xml_element::Kind xml_element::kind() const
{
    const std::string_view t(text_);
    if (t.size() <= 2 || t[0] != '<')
        return kOther;
    if (t.starts_with("<!-"))
        return kComment;
    if (t.ends_with("/>"))
        return kEmpty;
    if (t[1] == '/')
        return kClosing;
    if (t.back() == '>')
        return kOpening;
    return kOther;
}

xml_element* xml_garbage_collection::create()
{
    nodes_.push_back(std::make_unique<xml_element>());
    return nodes_.back().get();
}

xml_main::xml_main()
{
    text_ = "<__MAIN_HEAD__>";
    root_ = this;
}

bool xml_main::parse_file(const std::string& path, Reporter report)
{
    std::ifstream in;
    FileId id;
    if (!open_file(in, path, id.device, id.inode))
        return false;
    reporter_ = std::move(report);
    open_files_.push_back(id);
    LineSource source(in, directory_of(path));
    parse_root(source);
    open_files_.pop_back();
    return true;
}

void xml_main::parse_stream(std::istream& in, Reporter report)
{
    reporter_ = std::move(report);
    LineSource source(in, std::string());
    parse_root(source);
}

void xml_main::parse_root(LineSource& source)
{
    xml_element* first = garbage_.create();
    first->parent_ = this;
    parse_node(first, source, this, 0, 0);
}

xml_element* xml_main::first_child() const
{
    return children_.empty() ? nullptr : children_.front();
}

void xml_main::report(const std::string& text) const
{
    if (reporter_)
        reporter_(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void xml_main::parse_node(xml_element* node, LineSource& source, xml_element* parent, int depth,
                          int include_depth)
{
    node->root_ = parent->root_;
    if (garbage_.size() > kMaxNodes) {
        if (!too_many_reported_)
            report("[XML_PARSER] Too many elements - the rest is not read");
        too_many_reported_ = true;
        end_of_file_ = true;
        return;
    }
    std::string line;
    if (!source.read_line(line)) {
        end_of_file_ = true;
        return;
    }
    node->text_ = std::string(trim(line));

    switch (node->kind()) {
    case kOpening:
        if (depth >= kMaxDepth) {
            // Hostile nesting would otherwise exhaust the stack; stop reading
            // and keep what was read so far.
            if (!too_deep_reported_)
                report("[XML_PARSER] Elements nested too deeply - " + node->text_);
            too_deep_reported_ = true;
            end_of_file_ = true;
            return;
        }
        while (!end_of_file_) {
            xml_element* child = garbage_.create();
            child->parent_ = node;
            parse_node(child, source, node, depth + 1, include_depth);
            if (child->kind() == kClosing)
                break;
        }
        parent->children_.push_back(node);
        return;
    case kEmpty:
        if (node->name() == "Include") {
            include(node, source, parent, depth, include_depth);
            return;
        }
        parent->children_.push_back(node);
        return;
    default:
        return;
    }
}

void xml_main::include(xml_element* node, const LineSource& source, xml_element* parent, int depth,
                       int include_depth)
{
    const std::string file = node->attribute("Name");
    if (include_depth >= kMaxIncludeDepth) {
        report("[XML_PARSER] Include files nested too deeply - " + file);
        return;
    }
    if (includes_opened_ >= kMaxIncludes) {
        report("[XML_PARSER] Too many include files - " + file);
        return;
    }
    std::string opened = file;
    std::ifstream in;
    FileId id;
    bool found = open_file(in, file, id.device, id.inode);
    if (!found && !file.empty() && file[0] != '/' && !source.directory().empty()) {
        opened = source.directory() + file;
        in.clear();
        found = open_file(in, opened, id.device, id.inode);
    }
    // A file already being read would include itself again and again.
    for (const FileId& reading : open_files_)
        found = found && !(reading == id);
    if (!found) {
        report("[XML_PARSER] Could not find include file - " + file);
        return;
    }
    ++includes_opened_;
    open_files_.push_back(id);
    LineSource included(in, directory_of(opened));
    parse_node(node, included, parent, depth, include_depth + 1);
    open_files_.pop_back();
}

xml_element* xml_main::find(std::string_view element, std::string_view attribute_name,
                            std::string_view value, xml_element* start) const
{
    if (start == nullptr)
        start = first_child();
    if (start == nullptr)
        return nullptr;
    if (start->name() == element &&
        (value.empty() || (attribute_name.empty() ? std::string() : start->attribute(attribute_name)) == value))
        return start;
    if (start->kind() == kOpening) {
        for (xml_element* child : start->children_) {
            if (xml_element* hit = find(element, attribute_name, value, child))
                return hit;
        }
    }
    return nullptr;
}

} // namespace lunmark
