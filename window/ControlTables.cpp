#include "ControlTables.h"

#include <cstdint>
#include <limits>
#include <map>
#include <variant>
#include <vector>

#include "runtime/PropertyTable.h"
#include "runtime/RuntimeException.h"

const char* const kMakersWebPage = "https://www.zellsoftware.com/durodiz/";

namespace {
// One cell of a class's table: absent (kAbsent), a Boolean, an Integer, a Color or a String.
struct Absent {};
struct Rgb {
    uint32_t value;
};
using Cell = std::variant<Absent, bool, int32_t, Rgb, const char*>;

constexpr Absent kAbsent{};
constexpr bool True = true;
constexpr bool False = false;
constexpr int32_t kNoIndex = std::numeric_limits<int32_t>::min();

struct Row {
    const char* property;
    std::vector<Cell> cells;  // one for each control of the class, in the order of the columns
};

struct ClassTable {
    std::vector<const char*> controls;
    std::vector<Row> rows;  // in the order of application
};

// Each class's table has one column for each of its controls, one row for each property.
const std::vector<ClassTable>& ClassTables() {
    static const std::vector<ClassTable> tables = {
        {{"PushButtonWeb", "PushButtonChange", "PushButtonHelp"},
         {
             {"InitialParent", {"", "", ""}},
             {"Underline", {False, False, False}},
             {"Italic", {False, False, False}},
             {"Bold", {False, False, False}},
             {"TextFont", {"System", "System", "System"}},
             {"ButtonStyle", {8, 0, 9}},
             {"AutoDeactivate", {True, True, True}},
             {"HelpTag", {kAbsent, "", kAbsent}},
             {"Visible", {True, True, True}},
             {"Enabled", {True, False, True}},
             {"Cancel", {False, False, False}},
             {"Default", {False, True, False}},
             {"Caption", {"W", kAbsent, ""}},
             {"TabStop", {True, True, True}},
             {"TabIndex", {20, 5, 15}},
             {"TabPanelIndex", {0, 0, 0}},
             {"LockBottom", {False, False, False}},
             {"LockRight", {False, False, False}},
             {"LockTop", {True, True, True}},
             {"LockLeft", {True, True, True}},
             {"Height", {30, 20, 30}},
             {"Width", {30, 80, 30}},
             {"Top", {286, 286, 271}},
             {"Left", {14, 101, 235}},
             {"Index", {kNoIndex, kNoIndex, kNoIndex}},
             {"Name", {"PushButtonWeb", "PushButtonChange", "PushButtonHelp"}},
         }},
        {{"CanvasDrop"},
         {
             {"InitialParent", {""}},
             {"Transparent", {True}},
             {"EraseBackground", {False}},
             {"DoubleBuffer", {False}},
             {"AcceptTabs", {False}},
             {"AcceptFocus", {False}},
             {"UseFocusRing", {True}},
             {"Enabled", {True}},
             {"AutoDeactivate", {True}},
             {"Visible", {True}},
             {"TabStop", {False}},
             {"TabIndex", {0}},
             {"TabPanelIndex", {0}},
             {"LockBottom", {True}},
             {"LockRight", {True}},
             {"LockTop", {True}},
             {"LockLeft", {True}},
             {"Height", {128}},
             {"Width", {128}},
             {"Top", {71}},
             {"Left", {77}},
             {"Index", {kNoIndex}},
             {"Name", {"CanvasDrop"}},
         }},
        {{"TextFieldMargR", "TextFieldMargL", "TextFieldMargT", "TextFieldMargB"},
         {
             {"DataField", {"", "", "", ""}},
             {"DataSource", {"", "", "", ""}},
             {"AutomaticallyCheckSpelling", {False, False, False, False}},
             {"Alignment", {3, 3, 3, 3}},
             {"AcceptTabs", {False, False, False, False}},
             {"LimitText", {4, 4, 4, 4}},
             {"ReadOnly", {False, False, False, False}},
             {"Mask", {"999#", "999#", "999#", "999#"}},
             {"Text", {"", "", "", ""}},
             {"CueText", {"", "", "", ""}},
             {"Underline", {False, False, False, False}},
             {"Italic", {False, False, False, False}},
             {"Bold", {False, False, False, False}},
             {"TextFont", {"System", "System", "System", "System"}},
             {"AutoDeactivate", {True, True, True, True}},
             {"HelpTag", {"", "", "", ""}},
             {"Visible", {True, True, True, True}},
             {"Format", {"", "", "", ""}},
             {"Enabled", {True, True, True, True}},
             {"BackColor", {Rgb{0xFFFFFF}, Rgb{0xFFFFFF}, Rgb{0xFFFFFF}, Rgb{0xFFFFFF}}},
             {"TextColor", {Rgb{0x000000}, Rgb{0x000000}, Rgb{0x000000}, Rgb{0x000000}}},
             {"UseFocusRing", {True, True, True, True}},
             {"Password", {False, False, False, False}},
             {"Border", {True, True, True, True}},
             {"TabStop", {True, True, True, True}},
             {"TabIndex", {3, 2, 1, 4}},
             {"TabPanelIndex", {0, 0, 0, 0}},
             {"LockBottom", {False, False, False, False}},
             {"LockRight", {False, False, False, False}},
             {"LockTop", {True, True, True, True}},
             {"LockLeft", {True, True, True, True}},
             {"Height", {22, 22, 22, 22}},
             {"Width", {45, 45, 45, 45}},
             {"Top", {123, 123, 45, 201}},
             {"Left", {217, 20, 119, 119}},
             {"Index", {kNoIndex, kNoIndex, kNoIndex, kNoIndex}},
             {"Name", {"TextFieldMargR", "TextFieldMargL", "TextFieldMargT", "TextFieldMargB"}},
         }},
        {{"LabelMargL", "LabelMargR", "LabelMargT", "LabelMargB", "LabelHelp", "LabelFile", "LabelAuthor",
          "LabelVersion"},
         {
             {"InitialParent", {"", "", "", "", "", "", "", ""}},
             {"DataField", {"", "", "", "", "", "", "", ""}},
             {"DataSource", {"", "", "", "", "", "", "", ""}},
             {"Underline", {False, False, False, False, False, False, False, False}},
             {"Italic", {False, False, False, False, False, False, True, True}},
             {"Bold", {False, False, False, False, False, False, True, True}},
             {"TextFont", {"System", "System", "System", "System", "System", "System", "System", "System"}},
             {"AutoDeactivate", {True, True, True, True, True, True, True, True}},
             {"HelpTag", {"", "", "", "", "", "", kMakersWebPage, ""}},
             {"Transparent", {False, False, False, False, False, False, False, True}},
             {"Selectable", {False, False, False, False, False, False, True, False}},
             {"Visible", {True, True, True, True, True, True, True, True}},
             {"Enabled", {True, True, True, True, True, True, True, True}},
             {"Multiline", {False, False, False, False, False, False, False, False}},
             {"TextColor", {Rgb{0x000000}, Rgb{0x000000}, Rgb{0x000000}, Rgb{0x000000}, Rgb{0x000000},
                            Rgb{0x0000FF}, Rgb{0xCCCCCC}, Rgb{0xCCCCCC}}},
             {"TextAlign", {2, 2, 2, 2, 1, 1, 0, 2}},
             {"Text", {"", "", "", "", kAbsent, "", "Zell", "Version"}},
             {"TabIndex", {7, 8, 9, 10, 11, 12, 13, 14}},
             {"TabPanelIndex", {0, 0, 0, 0, 0, 0, 0, 0}},
             {"LockBottom", {False, False, False, False, False, False, False, True}},
             {"LockRight", {False, False, False, False, False, False, False, True}},
             {"LockTop", {True, True, True, True, True, True, True, False}},
             {"LockLeft", {True, True, True, True, True, True, True, False}},
             {"Height", {20, 20, 20, 20, 20, 20, 20, 20}},
             {"Width", {45, 45, 45, 45, 282, 282, 48, 58}},
             {"Top", {105, 105, 29, 221, 0, 253, 300, 300}},
             {"Left", {17, 214, 114, 115, 0, 0, 14, 204}},
             {"Index", {kNoIndex, kNoIndex, kNoIndex, kNoIndex, kNoIndex, kNoIndex, kNoIndex, kNoIndex}},
             {"Name", {"LabelMargL", "LabelMargR", "LabelMargT", "LabelMargB", "LabelHelp", "LabelFile", "LabelAuthor", "LabelVersion"}},
             {"TabStop", {True, True, True, True, True, True, True, True}},
         }},
        {{"BevelButtonSend", "BevelButtonClear"},
         {
             {"Underline", {False, False}},
             {"Italic", {False, False}},
             {"Bold", {False, False}},
             {"TextFont", {"System", "System"}},
             {"AcceptFocus", {True, True}},
             {"ButtonType", {0, 0}},
             {"MenuValue", {0, 0}},
             {"Value", {False, False}},
             {"TextColor", {Rgb{0x000000}, Rgb{0x000000}}},
             {"BackColor", {Rgb{0x000000}, Rgb{0x000000}}},
             {"HasBackColor", {False, False}},
             {"HasMenu", {0, 0}},
             {"Bevel", {4, 4}},
             {"IconDY", {0, 0}},
             {"IconDX", {0, 0}},
             {"IconAlign", {0, 0}},
             {"CaptionDelta", {0, 0}},
             {"CaptionPlacement", {2, 2}},
             {"CaptionAlign", {3, 3}},
             {"Caption", {"", ""}},
             {"Enabled", {True, True}},
             {"AutoDeactivate", {True, True}},
             {"Visible", {False, False}},
             {"InitialParent", {"", ""}},
             {"TabStop", {True, True}},
             {"TabIndex", {18, 19}},
             {"TabPanelIndex", {0, 0}},
             {"LockBottom", {False, False}},
             {"LockRight", {False, False}},
             {"LockTop", {True, True}},
             {"LockLeft", {True, True}},
             {"Height", {22, 27}},
             {"Width", {27, 22}},
             {"Top", {201, 196}},
             {"Left", {235, 43}},
             {"Index", {kNoIndex, kNoIndex}},
             {"Name", {"BevelButtonSend", "BevelButtonClear"}},
         }},
    };
    return tables;
}

std::string Encode(const ClassTable& table, size_t column) {
    PropertyTable bytes;
    for (const Row& row : table.rows) {
        if (row.cells.size() != table.controls.size())
            throw PropertyTableException(std::string("the row ") + row.property + " has a cell too many or too few");
        std::visit([&](const auto& cell) {
            using V = std::decay_t<decltype(cell)>;
            if constexpr (std::is_same_v<V, bool>) bytes.Boolean(row.property, cell);
            else if constexpr (std::is_same_v<V, int32_t>) bytes.Integer(row.property, cell);
            else if constexpr (std::is_same_v<V, Rgb>) bytes.Color(row.property, cell.value);
            else if constexpr (std::is_same_v<V, const char*>) bytes.String(row.property, cell);
        }, row.cells[column]);
    }
    return bytes.Bytes();
}
}  // namespace

const std::string& ControlTable(std::string_view controlName) {
    static const std::map<std::string, std::string, std::less<>> encoded = [] {
        std::map<std::string, std::string, std::less<>> byName;
        for (const ClassTable& table : ClassTables())
            for (size_t column = 0; column < table.controls.size(); ++column)
                byName.emplace(table.controls[column], Encode(table, column));
        return byName;
    }();
    auto found = encoded.find(controlName);
    if (found == encoded.end())
        throw UnsupportedOperationException("no property table for the control " + std::string(controlName));
    return found->second;
}
