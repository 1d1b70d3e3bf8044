// The shorten-names dialog on real widgets: what each row shows, the check
// box, and renaming rows through the name prompt.
#include "naming/shorten-names-dialog.h"
#include "platform/toolkit/kivel-locale.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

using ulvo_test::file_uri;

namespace
{

const int kMax = 255;

using ulvo_test::find_descendant;

// What a person sees on one row.
struct Row {
    std::string icon; // the stock id, "" for none
    std::string name; // the text shown
};

// Answers the name prompt opened over `parent` once it shows: types `name`
// and taps OK, or cancels when `name` is empty. A prompt still open after
// 5 s is cancelled, so that a fault fails instead of hanging.
struct PromptAnswer {
    GtkWindow *parent;
    std::string name;
    gint64 deadline;
    bool seen = false;
    bool ok_was_sensitive = false;
};

GtkWidget *showing_prompt(GtkWindow *parent)
{
    GList *tops = gtk_window_list_toplevels();
    GtkWidget *found = nullptr;
    for (GList *l = tops; l && !found; l = l->next) {
        GtkWindow *w = GTK_WINDOW(l->data);
        if (GTK_IS_DIALOG(w) && gtk_widget_get_mapped(GTK_WIDGET(w)) &&
            gtk_window_get_transient_for(w) == parent)
            found = GTK_WIDGET(w);
    }
    g_list_free(tops);
    return found;
}

gboolean answer_prompt(gpointer data)
{
    auto *answer = static_cast<PromptAnswer *>(data);
    GtkWidget *prompt = showing_prompt(answer->parent);
    if (!prompt)
        return g_get_monotonic_time() < answer->deadline;
    answer->seen = true;
    GtkWidget *entry = find_descendant(prompt, GTK_TYPE_ENTRY);
    GtkWidget *ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(prompt), GTK_RESPONSE_OK);
    if (!entry || !ok || answer->name.empty()) {
        gtk_dialog_response(GTK_DIALOG(prompt), GTK_RESPONSE_CANCEL);
        return FALSE;
    }
    gtk_entry_set_text(GTK_ENTRY(entry), answer->name.c_str());
    answer->ok_was_sensitive = gtk_widget_is_sensitive(ok);
    if (answer->ok_was_sensitive)
        gtk_button_clicked(GTK_BUTTON(ok));
    else
        gtk_dialog_response(GTK_DIALOG(prompt), GTK_RESPONSE_CANCEL);
    return FALSE;
}

class ShortenNames : public testing::Test
{
  protected:
    void SetUp() override
    {
        kivel_locale_prefer_english();
        kivel_locale_bind_platform_catalogs();
        dialog_ = kivel_shorten_names_dialog_new(nullptr);
        g_object_ref_sink(dialog_);
    }
    void TearDown() override
    {
        gtk_widget_destroy(dialog_);
        g_object_unref(dialog_);
    }

    KivelShortenNamesDialog *dialog() { return KIVEL_SHORTEN_NAMES_DIALOG(dialog_); }

    void show(const std::vector<std::string> &uris, int max_length = kMax)
    {
        GtkListStore *list = gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING);
        for (const std::string &uri : uris)
            gtk_list_store_insert_with_values(list, nullptr, -1, 0, uri.c_str(), -1);
        kivel_shorten_names_dialog_set_items(dialog(), GTK_TREE_MODEL(list), max_length);
        g_object_unref(list);
        gtk_widget_show(dialog_);
        tree_ = GTK_TREE_VIEW(find_descendant(dialog_, GTK_TYPE_TREE_VIEW));
        ASSERT_NE(nullptr, tree_);
    }

    // A text URI of exactly `length` bytes: the test HOME, a folder of
    // padding, and `base` + `extension` filled up with "x".
    std::string uri_of_length(gsize length, const std::string &base, const std::string &extension)
    {
        std::string folder = file_uri(ulvo_test::test_home() + "/target") + "/";
        std::string name = base;
        while (folder.size() + name.size() + extension.size() < length)
            name += "x";
        std::string uri = folder + name + extension;
        EXPECT_EQ(length, uri.size()) << uri;
        return uri;
    }

    Row row(int index)
    {
        GtkTreeModel *model = gtk_tree_view_get_model(tree_);
        GtkTreeIter iter;
        EXPECT_TRUE(gtk_tree_model_iter_nth_child(model, &iter, nullptr, index));
        Row result;
        for (int column = 0; column < 2; column++) {
            GtkTreeViewColumn *col = gtk_tree_view_get_column(tree_, column);
            gtk_tree_view_column_cell_set_cell_data(col, model, &iter, FALSE, FALSE);
            GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(col));
            gchar *value = nullptr;
            g_object_get(cells->data, column == 0 ? "stock-id" : "text", &value, nullptr);
            (column == 0 ? result.icon : result.name) = value ? value : "";
            g_free(value);
            g_list_free(cells);
        }
        return result;
    }

    void select(int index)
    {
        GtkTreePath *path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(tree_), path);
        gtk_tree_path_free(path);
    }

    GtkWidget *accept()
    {
        return gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog_), GTK_RESPONSE_ACCEPT);
    }

    GtkToggleButton *cut_check()
    {
        return GTK_TOGGLE_BUTTON(find_descendant(dialog_, GTK_TYPE_CHECK_BUTTON));
    }

    // The button of the action area that answers nothing: the rename button.
    GtkWidget *rename_button()
    {
        GList *children =
            gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog_)->action_area));
        GtkWidget *found = nullptr;
        for (GList *l = children; l && !found; l = l->next)
            if (gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog_), GTK_WIDGET(l->data)) ==
                GTK_RESPONSE_NONE)
                found = GTK_WIDGET(l->data);
        g_list_free(children);
        return found;
    }

    // Taps the rename button; the prompt, if one shows, gets `name`.
    PromptAnswer rename_to(const std::string &name)
    {
        PromptAnswer answer{GTK_WINDOW(dialog_), name, g_get_monotonic_time() + 5 * G_USEC_PER_SEC};
        guint source = gdk_threads_add_timeout(20, answer_prompt, &answer);
        gtk_button_clicked(GTK_BUTTON(rename_button()));
        if (!answer.seen)
            g_source_remove(source);
        return answer;
    }

    std::vector<std::string> items()
    {
        GtkListStore *store = kivel_shorten_names_dialog_get_items(dialog());
        std::vector<std::string> result;
        GtkTreeIter iter;
        for (gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &iter); more;
             more = gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &iter)) {
            gchar *uri = nullptr;
            gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, 0, &uri, -1);
            result.push_back(uri ? uri : "(null)");
            g_free(uri);
        }
        g_object_unref(store);
        return result;
    }

    GtkWidget *dialog_ = nullptr;
    GtkTreeView *tree_ = nullptr;
};

TEST_F(ShortenNames, RowsShowTheirBaseWithTheCutOffTailInGrey)
{
    std::string fits = uri_of_length(kMax, "fits", ".txt");
    std::string over = uri_of_length(kMax + 20, "over", ".txt");
    show({fits, over, uri_of_length(kMax + 1, "one", ".txt")});
    EXPECT_STREQ("Operation failed", gtk_window_get_title(GTK_WINDOW(dialog_)));

    Row first = row(0);
    EXPECT_EQ("", first.icon) << "exactly the maximum fits";
    EXPECT_EQ(0u, first.name.find("fitsxx"));
    EXPECT_EQ(std::string::npos, first.name.find(".txt")) << "the extension is not shown";
    gchar *markup = kivel_shorten_names_markup(fits.c_str(), kMax);
    EXPECT_EQ(nullptr, strstr(markup, "<span")) << markup;
    g_free(markup);

    Row second = row(1);
    EXPECT_EQ("kivel-shorten-warning", second.icon);
    EXPECT_EQ(std::string::npos, second.name.find(".txt"));
    EXPECT_EQ("kivel-shorten-warning", row(2).icon) << "one byte over is too long";

    // The grey part begins where the name no longer fits: the maximum less
    // the folder (without "file://"), the extension and the slash.
    gsize folder = std::string(file_uri(ulvo_test::test_home() + "/target")).size() - 7;
    gsize keep = kMax - folder - 4 - 1;
    markup = kivel_shorten_names_markup(over.c_str(), kMax);
    PangoAttrList *attrs = nullptr;
    gchar *shown = nullptr;
    ASSERT_TRUE(pango_parse_markup(markup, -1, 0, &attrs, &shown, nullptr, nullptr)) << markup;
    EXPECT_EQ(second.name, shown);
    PangoAttrIterator *it = pango_attr_list_get_iterator(attrs);
    bool grey_found = false;
    do {
        gint start, end;
        pango_attr_iterator_range(it, &start, &end);
        if (pango_attr_iterator_get(it, PANGO_ATTR_FOREGROUND)) {
            grey_found = true;
            EXPECT_EQ(gint(keep), start);
            EXPECT_EQ(gint(strlen(shown)), end);
        }
    } while (pango_attr_iterator_next(it));
    EXPECT_TRUE(grey_found) << markup;
    pango_attr_iterator_destroy(it);
    pango_attr_list_unref(attrs);
    g_free(shown);
    g_free(markup);
}

TEST_F(ShortenNames, NamesWithMarkupCharactersShowAsTyped)
{
    std::string typed = "<b>&amp; \"it's\" <i>é";
    std::string over = uri_of_length(kMax + 30, "", ".txt");
    std::string folder = over.substr(0, over.rfind('/') + 1);
    gchar *escaped = g_uri_escape_string(typed.c_str(), "!$&'()*+,;=:@", FALSE);
    over = folder + escaped + over.substr(folder.size());
    g_free(escaped);
    std::string short_uri = folder + "%3Cb%3E%26.txt";
    show({over, short_uri});

    EXPECT_EQ(0u, row(0).name.find(typed)) << row(0).name;
    EXPECT_EQ("<b>&", row(1).name);

    // A cut never splits a character: every cut position of a name of
    // two-byte characters gives readable markup and whole characters.
    std::string accents = folder;
    for (int i = 0; i < kMax / 2; i++)
        accents += "%C3%A9"; // as many bytes as the maximum, unescaped
    accents += ".txt";
    for (int max = kMax; max < kMax + 12; max++) {
        gchar *markup = kivel_shorten_names_markup(accents.c_str(), max);
        gchar *shown = nullptr;
        EXPECT_TRUE(pango_parse_markup(markup, -1, 0, nullptr, &shown, nullptr, nullptr))
            << max << ": " << markup;
        EXPECT_TRUE(shown && g_utf8_validate(shown, -1, nullptr));
        EXPECT_EQ(0, gint(strstr(markup, "<span") - markup) % 2) << markup;
        g_free(shown);
        g_free(markup);
    }
}

TEST_F(ShortenNames, TheCheckBoxAcceptsCuttingTheNames)
{
    show({uri_of_length(kMax, "fits", ".txt"), uri_of_length(kMax + 40, "over", ".txt")});
    EXPECT_FALSE(gtk_widget_is_sensitive(accept()));

    gtk_toggle_button_set_active(cut_check(), TRUE);
    EXPECT_TRUE(gtk_widget_is_sensitive(accept()));
    EXPECT_EQ("", row(1).icon) << "no warnings once cutting is accepted";

    gtk_toggle_button_set_active(cut_check(), FALSE);
    EXPECT_FALSE(gtk_widget_is_sensitive(accept())) << "a row is still too long";
    EXPECT_EQ("kivel-shorten-warning", row(1).icon);

    // Answering accept hands back the rows as given.
    std::vector<std::string> expected = {uri_of_length(kMax, "fits", ".txt"),
                                         uri_of_length(kMax + 40, "over", ".txt")};
    EXPECT_EQ(expected, items());
}

TEST_F(ShortenNames, RenamingRowsToShortNamesLetsTheRecheckAccept)
{
    std::string first = uri_of_length(kMax + 40, "first", ".txt");
    std::string second = uri_of_length(kMax + 40, "second", ".jpg");
    show({first, second});
    std::string folder = first.substr(0, first.rfind('/'));

    select(0);
    PromptAnswer answer = rename_to("a b#c.txt");
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(folder + "/a%20b%23c.txt", items()[0]) << "the new name goes in escaped";
    EXPECT_EQ("", row(0).icon);
    EXPECT_EQ("a b#c", row(0).name);
    gchar *markup = kivel_shorten_names_markup(items()[0].c_str(), kMax);
    EXPECT_EQ(nullptr, strstr(markup, "Gray")) << markup;
    g_free(markup);
    EXPECT_FALSE(gtk_widget_is_sensitive(accept())) << "the second row is still too long";

    // Names that cannot be file names are not taken; cancelling keeps the row.
    select(1);
    answer = rename_to("x/y.jpg");
    EXPECT_TRUE(answer.seen);
    EXPECT_FALSE(answer.ok_was_sensitive);
    answer = rename_to("");
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(second, items()[1]);
    EXPECT_FALSE(gtk_widget_is_sensitive(accept()));

    answer = rename_to("short.jpg");
    EXPECT_EQ(folder + "/short.jpg", items()[1]);
    EXPECT_TRUE(gtk_widget_is_sensitive(accept()));
    EXPECT_EQ(2u, items().size());
}

TEST_F(ShortenNames, TheRecheckMeasuresWithoutTheScheme)
{
    // Over by less than "file://": still marked, yet the re-check of a
    // rename passes it, since the transfer cuts what remains over.
    show({uri_of_length(kMax + 7, "near", ".txt")});
    EXPECT_EQ("kivel-shorten-warning", row(0).icon);
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(tree_));
    PromptAnswer answer = rename_to("unused");
    EXPECT_FALSE(answer.seen) << "no row selected, nothing to rename";
    EXPECT_TRUE(gtk_widget_is_sensitive(accept()));

    gtk_widget_set_sensitive(accept(), FALSE);
    show({uri_of_length(kMax + 8, "far", ".txt")});
    rename_to("unused");
    EXPECT_FALSE(gtk_widget_is_sensitive(accept()));
}

} // namespace
