#include "control/member_docs.h"

#include <array>
#include <cstring>

namespace marklet {

namespace {

constexpr const char* kCoercion =
    "13 (Type mismatch) for a value that does not convert; 6 (Overflow) for a number outside the type";
constexpr const char* kPixelRange =
    "0..2184 pixels. Any other value shows the message box \"El valor introducido est\xC3\xA1 fuera "
    "del intervalo permitido.\" and the set returns success **without changing anything**. A stored "
    "value outside the range is clamped into it when loaded";

constexpr std::array kMemberDocs{
    MemberDoc{"LineSpacing", "0", "LineSpacing", "0", kPixelRange,
              "Extra space between lines, in **pixels** (the control converts it to twips with the "
              "screen's twips per pixel). Repaints; the text is not parsed again.",
              kCoercion},
    MemberDoc{"Picture", "none", "Picture", "none",
              "a picture object, or nothing (`Set Picture = Nothing` clears it)",
              "A background picture, drawn by the host's surface under the text. Assigned by "
              "reference (`Set`).",
              "13 for a value that is not a picture; the errors the host's surface raises for a "
              "picture it cannot use"},
    MemberDoc{"BackColor", "the container's ambient background colour", "BackColor",
              "the container's ambient background colour",
              "any OLE colour: `&H00BBGGRR`, or a system colour `&H800000nn`",
              "Background colour of the control. Repaints.", kCoercion},
    MemberDoc{"ShowMoreLink", "True", "ShowMoreLink", "False", "True or False",
              "When True, text that does not fit ends with the More link (its text is "
              "`MoreLinkText`), drawn as a link. Only used while `AutoSizeHeight` is False and the "
              "background is opaque. Parses again and repaints.",
              kCoercion},
    MemberDoc{"GetTextOnEvent", "False", "GetTextOnEvent", "False", "True or False",
              "When True, `MouseMove` and `OnLinkClick` carry the link's text in `LinkText`; when "
              "False `LinkText` is empty. `LinkKey` is filled either way.",
              kCoercion},
    MemberDoc{"MultiLine", "True", "MultiLine", "True", "True or False",
              "How line ends and tabs in `Text` are read. True: a line end starts a new line and a "
              "tab becomes `TabSize` spaces. False: the whole text is one line (see "
              "[markup.md](markup.md#line-ends-and-tabs)). Parses again and repaints.",
              kCoercion},
    MemberDoc{"AutoSizeHeight", "True", "AutoSizeHeight", "False", "True or False",
              "When True, every paint sets the control's height to fit the drawn text (the "
              "container sees a resize). When False the height stays and overflowing text is cut "
              "or ends with the More link. Repaints.",
              kCoercion},
    MemberDoc{"UnderlineLink", "True", "UnderlineLink", "True", "True or False",
              "Draw links underlined. `LinkDisplay` decides how the underline changes under the "
              "pointer. Repaints.",
              kCoercion},
    MemberDoc{"LeftMargin", "0", "LeftMargin", "0", kPixelRange,
              "Space before the text on every line, in **pixels**. Repaints.", kCoercion},
    MemberDoc{"LinkDisplay", "0 (`Normal`)", "LinkDisplay", "0 (`Normal`), saved as a 32-bit number",
              "`Normal` = 0, `NotU_NotC` = 1, `NotC` = 2, `NotU` = 3. Any other 32-bit value is "
              "stored unchanged and behaves as `Normal`",
              "How a link reacts when the pointer is on it (the hand pointer shows in every case):\n\n"
              "| value | name | under the pointer | elsewhere |\n"
              "|---|---|---|---|\n"
              "| 0 | `Normal` | no change: `LinkColor`, underlined by `UnderlineLink` | `LinkColor` |\n"
              "| 1 | `NotU_NotC` | underline toggled (NOT `UnderlineLink`) and `ActiveLinkColor` | "
              "`UnderlineLink`, `LinkColor` |\n"
              "| 2 | `NotC` | `ActiveLinkColor`, underline as `UnderlineLink` | `LinkColor` |\n"
              "| 3 | `NotU` | underline toggled (NOT `UnderlineLink`), colour stays `LinkColor` | "
              "`UnderlineLink`, `LinkColor` |\n\n"
              "So `LinkDisplay` 3 (`NotU`) removes the underline of an underlined link while the "
              "pointer is on it (or adds one when `UnderlineLink` is False) and keeps its colour; "
              "it is saved under the key `LinkDisplay` as the number 3. Setting 1 or 3 while the "
              "background is transparent makes the background opaque (the control then also "
              "reports `BackStyle` changed): toggling an underline reprints the link over its own "
              "background. Setting 0 or 2 never makes it transparent again. Loading a saved "
              "control does not apply this rule. Repaints.",
              kCoercion},
    MemberDoc{"TabSize", "5", "TabSize", "5", "0..255 (a Byte); 0 drops tabs",
              "Number of spaces each tab in `Text` becomes while `MultiLine` is True. Takes effect "
              "at the next parse (the next `Text` set, or a change of `MultiLine`, `Font`, "
              "`ShowMoreLink` or `MoreLinkText`); setting it neither parses nor repaints.",
              kCoercion},
    MemberDoc{"ForeColor", "0 (black)", "ForeColor", "&H80000012 (the system button-text colour)",
              "any OLE colour",
              "Colour of text that no `<c...>` tag colours. Repaints.", kCoercion},
    MemberDoc{"About", "", "", "", "",
              "Shows the control's About box (a modal form from the container). Takes no arguments.",
              "438 when the container cannot show forms; 5 when given arguments or assigned"},
    MemberDoc{"LinkColor", "&HFF0000 (blue)", "LinkColor", "&HFF0000 (blue)", "any OLE colour",
              "Colour of links and of the More link. Repaints.", kCoercion},
    MemberDoc{"ActiveLinkColor", "&HFF0000 (blue)", "ActiveLinkColor",
              "the value `LinkColor` has when it is loaded", "any OLE colour",
              "Colour of the link under the pointer when `LinkDisplay` is 1 (`NotU_NotC`) or 2 "
              "(`NotC`). Repaints.",
              kCoercion},
    MemberDoc{"FormatedText", "\"\" until the first parse", "", "", "read-only",
              "The text without its markup, as the last parse produced it: what the control shows, "
              "with tags, images and escapes removed. The name is spelled with one `t`.",
              "383 (Property is read-only) on a set"},
    MemberDoc{"Enabled", "True (the surface's initial state)", "Enabled", "True", "True or False",
              "Whether the container lets the control take mouse and keyboard input. A disabled "
              "control draws exactly like an enabled one.",
              kCoercion},
    MemberDoc{"Font", "the surface's initial font", "Font", "the container's ambient font",
              "a font object; the name 1..31 characters, a size the surface can draw",
              "The base font: text outside `<f...>` and `<s...>` tags uses it. Assigned by "
              "reference (`Set`); changes made through the returned font object reach the control "
              "too. Parses again and repaints.",
              "none from the setter: a font the surface refuses leaves the previous font in place. "
              "Through the font object, a refused change is undone and reported as 380"},
    MemberDoc{"Appearance", "1 (`c3d`, the surface's initial value)", "Appearance", "1 (`c3d`)",
              "`cPlano` = 0 (flat), `c3d` = 1 (sunken 3-D border)",
              "The look of the border when `BorderStyle` is 1.",
              "380 (Invalid property value) for a value other than 0 or 1; 6 beyond 16 bits"},
    MemberDoc{"Text", "the container's ambient display name of the control (for example "
              "\"Marklet1\")", "Text", "\"\" (empty)",
              "any string; one text makes at most 32,767 runs, links and images",
              "The marked-up text ([markup.md](markup.md)). Every set parses and draws at once, "
              "even when the text is unchanged.",
              "13 for a value that does not convert to a string; 6 (Overflow) naming the limit when "
              "the text makes more than 32,767 runs, links or images, or a source line is too long; "
              "53 (missing file), 481 (not a picture) or 7 (over the 64 Mpx picture budget) for an "
              "`#i<...>` picture; 9 for an `#i<>` that names no file; 380 for a `#f<...>` font the "
              "surface refuses; 10 when set from a link event handler while the link table is in use. "
              "A failed parse draws nothing of the new text"},
    MemberDoc{"MoreLinkText", "\"...+\"", "MoreLinkText", "\"...+\"", "any string",
              "Text of the More link (see `ShowMoreLink`). Parses again and repaints.", kCoercion},
    MemberDoc{"BorderStyle", "1 (`S\xC3\xB3lido`, the surface's initial value)", "BorderStyle",
              "1 (`S\xC3\xB3lido`)", "`Ninguno` = 0 (no border), `S\xC3\xB3lido` = 1 (a border)",
              "Whether the control has a border; `Appearance` says which.",
              "380 for a value other than 0 or 1; 6 beyond 16 bits"},
    MemberDoc{"Refresh", "", "", "", "",
              "Repaints the control now. Takes no arguments.",
              "5 when given arguments or assigned"},
};

constexpr std::array kEventDocs{
    EventDoc{"Click", "A click on the control, after `MouseUp`. A click on a link raises "
                      "`OnLinkClick` before `MouseUp`."},
    EventDoc{"DblClick", "A double click on the control."},
    EventDoc{"KeyDown", "A key is pressed while the control has the focus. `KeyCode` is the "
                        "virtual key code; `Shift` holds 1 for Shift, 2 for Ctrl, 4 for Alt."},
    EventDoc{"KeyPress", "A key that produces a character; `KeyAscii` is the character code."},
    EventDoc{"KeyUp", "A key is released; the arguments are those of `KeyDown`."},
    EventDoc{"MouseDown", "A mouse button is pressed over the control. `Button` is 1 left, 2 "
                          "right, 4 middle; `Shift` as for `KeyDown`; `X` and `Y` are in the "
                          "container's scale units (twips unless the container says otherwise)."},
    EventDoc{"MouseMove",
             "The pointer moves over the control; raised on every move. `LinkKey` is the key of the "
             "link under the pointer (empty over no link); `LinkText` is its text when `GetTextOnEvent` is True "
             "and empty otherwise. The other arguments are those of `MouseDown`. The first move "
             "onto a link also shows the hand pointer and the hover look of `LinkDisplay`."},
    EventDoc{"MouseUp", "A mouse button is released; the arguments are those of `MouseDown`."},
    EventDoc{"OnLinkClick",
             "A mouse button (any of the three) is released over a link, wherever it was pressed. "
             "`LinkKey` is the link's key as written in the markup; `LinkText` is its text when "
             "`GetTextOnEvent` is True, else empty. It comes before `MouseUp`: a click on a link "
             "gives `MouseDown`, `OnLinkClick`, `MouseUp`, `Click`. The More link reports the key "
             "`!More`; the control does nothing else on it, showing more text is up to the host."},
    EventDoc{"MouseOut", "The pointer leaves the control. The link that was under it gets its "
                         "normal look back and the pointer its default shape first."},
};

constexpr std::array kHiddenKeyDocs{
    HiddenKeyDoc{"BackStyle", "1 (opaque)",
                 "The surface's background style: 0 transparent, 1 opaque. No property sets it; "
                 "setting `LinkDisplay` to 1 or 3 makes it 1. Loaded as it is."},
};

}  // namespace

std::span<const MemberDoc> MemberDocs() { return kMemberDocs; }
std::span<const EventDoc> EventDocs() { return kEventDocs; }
std::span<const HiddenKeyDoc> HiddenKeyDocs() { return kHiddenKeyDocs; }

const MemberDoc* FindMemberDoc(const char* name) {
  for (const MemberDoc& d : kMemberDocs)
    if (std::strcmp(d.name, name) == 0) return &d;
  return nullptr;
}

const EventDoc* FindEventDoc(const char* name) {
  for (const EventDoc& d : kEventDocs)
    if (std::strcmp(d.name, name) == 0) return &d;
  return nullptr;
}

}  // namespace marklet
