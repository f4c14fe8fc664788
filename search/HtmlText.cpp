#include "HtmlText.h"

#include <gumbo.h>

#include <vector>

namespace orvelle::search {

namespace {

bool IsSkipped(GumboTag tag) {
    return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE ||
           tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_NOSCRIPT;
}

bool IsHeading(GumboTag tag) {
    return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6;
}

// Elements that run inside a line of text: their edges do not separate words.
bool IsInline(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
        return true;
    default:
        return false;
    }
}

// Appends text with ASCII control characters (NUL included) turned into spaces.
void AppendClean(std::string& out, const char* text) {
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        out += (c < 0x20 && c != '\n') || c == 0x7F ? ' ' : static_cast<char>(c);
    }
}

void AppendBreak(std::string& out) {
    if (!out.empty() && out.back() != '\n') {
        out += '\n';
    }
}

// Depth first without recursion: broken documents can nest very deeply.
void Collect(const GumboNode* root, HtmlText& result) {
    struct Step {
        const GumboNode* node;
        int heading;    // > 0 inside a heading
        bool closeOnly; // the end of an element: a line break for blocks, end of a heading
    };
    std::vector<Step> stack{{root, 0, false}};
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        const GumboNode* node = step.node;
        if (step.closeOnly) {
            AppendBreak(result.body);
            if (IsHeading(node->v.element.tag)) {
                AppendBreak(result.headings);
            }
            continue;
        }
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            AppendClean(result.body, node->v.text.text);
            if (step.heading) {
                AppendClean(result.headings, node->v.text.text);
            }
            break;
        case GUMBO_NODE_DOCUMENT:
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT
                                              ? node->v.document.children
                                              : node->v.element.children;
            int heading = step.heading;
            if (node->type != GUMBO_NODE_DOCUMENT) {
                const GumboTag tag = node->v.element.tag;
                if (IsSkipped(tag)) {
                    break;
                }
                if (IsHeading(tag)) {
                    heading = 1;
                }
                if (!IsInline(tag)) {
                    AppendBreak(result.body);
                    stack.push_back({node, heading, true});
                }
            }
            for (unsigned i = children.length; i-- > 0;) {
                stack.push_back({static_cast<const GumboNode*>(children.data[i]), heading, false});
            }
            break;
        }
        case GUMBO_NODE_COMMENT:
            break;
        }
    }
}

// The <title> sits in <head>, which the body walk leaves out.
void FindTitle(const GumboNode* root, HtmlText& result) {
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) {
            continue;
        }
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        if (node->type == GUMBO_NODE_ELEMENT) {
            if (node->v.element.tag == GUMBO_TAG_TITLE) {
                for (unsigned i = 0; i < children.length; ++i) {
                    const auto* child = static_cast<const GumboNode*>(children.data[i]);
                    if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) {
                        AppendClean(result.title, child->v.text.text);
                    }
                }
                return;
            }
            if (node->v.element.tag == GUMBO_TAG_BODY) {
                continue; // a title belongs to the head
            }
        }
        for (unsigned i = children.length; i-- > 0;) {
            stack.push_back(static_cast<const GumboNode*>(children.data[i]));
        }
    }
}

} // namespace

HtmlText ExtractHtmlText(std::string_view utf8Html) {
    HtmlText result;
    GumboOutput* output =
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8Html.data(), utf8Html.size());
    if (!output) {
        return result;
    }
    FindTitle(output->document, result);
    Collect(output->document, result);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return result;
}

} // namespace orvelle::search
