// Debian's litehtml on a page file, parsed, styled and laid out at a 1024
// pixel width with a container that draws nothing: what a well-kept CSS
// library costs on the pages our own cascade reads, for the comparison in
// README.md. It has no text output to compare; only its time and memory
// are measured, as the whole process's.
//
//     litehtmlreference PAGE

#include <litehtml/litehtml.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

using namespace litehtml;

class DrawsNothing : public document_container {
public:
    uint_ptr create_font(const tchar_t*, int size, int, font_style, unsigned int, font_metrics* metrics) override
    {
        metrics->height = metrics->ascent = size;
        metrics->descent = 0;
        metrics->x_height = size / 2;
        return 1;
    }
    void delete_font(uint_ptr) override {}
    int text_width(const tchar_t* text, uint_ptr) override { return int(std::strlen(text)) * 8; }
    void draw_text(uint_ptr, const tchar_t*, uint_ptr, web_color, const position&) override {}
    int pt_to_px(int pt) const override { return pt * 96 / 72; }
    int get_default_font_size() const override { return 16; }
    const tchar_t* get_default_font_name() const override { return "sans-serif"; }
    void draw_list_marker(uint_ptr, const list_marker&) override {}
    void load_image(const tchar_t*, const tchar_t*, bool) override {}
    void get_image_size(const tchar_t*, const tchar_t*, size& size) override { size = {}; }
    void draw_background(uint_ptr, const background_paint&) override {}
    void draw_borders(uint_ptr, const borders&, const position&, bool) override {}
    void set_caption(const tchar_t*) override {}
    void set_base_url(const tchar_t*) override {}
    void link(const std::shared_ptr<document>&, const element::ptr&) override {}
    void on_anchor_click(const tchar_t*, const element::ptr&) override {}
    void set_cursor(const tchar_t*) override {}
    void transform_text(tstring&, text_transform) override {}
    void import_css(tstring&, const tstring&, tstring&) override {}
    void set_clip(const position&, const border_radiuses&, bool, bool) override {}
    void del_clip() override {}
    void get_client_rect(position& client) const override { client = position(0, 0, 1024, 768); }
    std::shared_ptr<element> create_element(const tchar_t*, const string_map&,
                                            const std::shared_ptr<document>&) override
    {
        return nullptr;
    }
    void get_media_features(media_features& media) const override
    {
        media.type = media_type_screen;
        media.width = media.device_width = 1024;
        media.height = media.device_height = 768;
        media.color = 8;
        media.monochrome = 0;
        media.color_index = 256;
        media.resolution = 96;
    }
    void get_language(tstring& language, tstring& culture) const override
    {
        language = "en";
        culture.clear();
    }
};

// The default styles that matter for a log page.
const char kMasterSheet[] = "html,body,div,p,pre,h1,h2,table,form{display:block} table{display:table} "
                            "tr{display:table-row} td,th{display:table-cell} br{display:block} "
                            "head,style,script,title{display:none} pre{white-space:pre}";

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: litehtmlreference PAGE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream page;
    page << in.rdbuf();
    DrawsNothing container;
    context context;
    context.load_master_stylesheet(kMasterSheet);
    const document::ptr doc = document::createFromString(page.str().c_str(), &container, &context);
    doc->render(1024);
    return 0;
}
