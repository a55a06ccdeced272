// The line-oriented XML reader of the module name file: xml_element (one
// node), xml_garbage_collection (owns every node of a document) and xml_main
// (the document).  One line is one node; this is deliberately not a general
// XML parser.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lunmark {

class xml_main;

class xml_element {
public:
    // Node kinds, decided from the trimmed text.
    enum Kind : int {
        kOther = 0,   // short text or text not starting with '<'; skipped
        kOpening = 1, // <tag ...>; reads children up to a closing tag
        kClosing = 2, // </tag>
        kEmpty = 3,   // <tag .../>
        kComment = 4, // <!-
    };

    xml_element() = default;
    virtual ~xml_element() = default;
    xml_element(const xml_element&) = delete;
    xml_element& operator=(const xml_element&) = delete;

    // The element name: after the '<' and leading blanks, up to the first
    // space, else up to the first '>'; empty when there is neither or the
    // name would be empty.
    virtual std::string name() const;
    // The value between the quotation marks that follow the attribute name,
    // or empty text.  Matches glued to a letter on either side are skipped.
    virtual std::string attribute(std::string_view attribute_name) const;
    // This reader keeps no attribute list: always empty text.
    virtual std::string attribute_name(std::size_t index) const;

    Kind kind() const;
    const std::string& text() const { return text_; }
    xml_element* parent() const { return parent_; }
    xml_main* root() const { return root_; }
    const std::vector<xml_element*>& children() const { return children_; }

protected:
    friend class xml_main;

    xml_main* root_ = nullptr;
    xml_element* parent_ = nullptr;
    std::vector<xml_element*> children_; // not owning
    std::string text_;
};

// Owns every node created while a document is parsed, attached or not.
class xml_garbage_collection {
public:
    xml_garbage_collection() = default;
    xml_garbage_collection(const xml_garbage_collection&) = delete;
    xml_garbage_collection& operator=(const xml_garbage_collection&) = delete;

    xml_element* create();
    std::size_t size() const { return nodes_.size(); }

private:
    std::vector<std::unique_ptr<xml_element>> nodes_;
};

class xml_main : public xml_element {
public:
    // Receives the texts of problems met while parsing (a missing include
    // file, for instance).
    using Reporter = std::function<void(const std::string&)>;

    // Deepest element nesting, and deepest chain of include files, read.
    static constexpr int kMaxDepth = 200;
    static constexpr int kMaxIncludeDepth = 8;
    // Include files opened for one document, and lines read for it in all
    // (every line read becomes a node of at most 511 bytes).  A module list
    // has at most 64 entries, so both leave ample room for real files while
    // a hostile one costs at most a few MB and a few milliseconds.
    static constexpr int kMaxIncludes = 16;
    static constexpr std::size_t kMaxNodes = 4096;

    xml_main();

    // Parses the file at `path`.  False when it cannot be opened (the
    // document then stays empty).  Include names are opened as given and,
    // when that fails for a relative name, beside the including file.  A
    // file that is being read already (one including itself, directly or
    // through others) counts as not found.  Beyond kMaxIncludes include
    // files or kMaxNodes lines the rest is not read; what was read stays.
    bool parse_file(const std::string& path, Reporter report = {});
    // Parses `in`; includes are opened as given.
    void parse_stream(std::istream& in, Reporter report = {});

    // The document's first element, or nullptr.
    xml_element* first_child() const;

    // Depth-first search from `start` (the first element when nullptr) for
    // a node named `element` whose attribute `attribute_name` equals `value`
    // (any node of that name when `value` is empty).
    xml_element* find(std::string_view element, std::string_view attribute_name,
                      std::string_view value, xml_element* start = nullptr) const;

    // Set once the end of a file has been read; it stays set for the rest
    // of this document (so an empty include file also ends the reading of
    // the file that includes it) but belongs to this document only.
    bool end_of_file() const { return end_of_file_; }
    std::size_t node_count() const { return garbage_.size(); }

private:
    class LineSource;
    // A file by device and inode, so that another name for the same file
    // is recognised as well.
    struct FileId {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        bool operator==(const FileId&) const = default;
    };

    void parse_root(LineSource& source);
    void parse_node(xml_element* node, LineSource& source, xml_element* parent, int depth,
                    int include_depth);
    void include(xml_element* node, const LineSource& source, xml_element* parent, int depth,
                 int include_depth);
    void report(const std::string& text) const;

    xml_garbage_collection garbage_;
    // The files being read, outermost first.
    std::vector<FileId> open_files_;
    int includes_opened_ = 0;
    bool end_of_file_ = false;
    bool too_deep_reported_ = false;
    bool too_many_reported_ = false;
    Reporter reporter_;
};

} // namespace lunmark
