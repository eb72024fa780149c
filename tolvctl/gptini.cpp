// gpt.ini: "[General]", then "Version=" and the extension lists, one line
// each, in the machine's 8-bit text. An extension list is a run of groups
// "[{extension}{tool}...]", in ascending order of the extension's GUID.
#include "gptini.h"

static const char registry[] = "{35378EAC-683F-11D2-A89A-00C04FBBCFA2}";
enum { guidlength = sizeof registry - 1 };

// Each side's list: its name in the file, and the tool of the registry
// extension on that side.
static const struct { int side; const char *key; const char *tool; } lists[] = {
    { side_machine, "gPCMachineExtensionNames", "{D02B1F72-3407-48AE-BA88-E8213C6761F1}" },
    { side_user, "gPCUserExtensionNames", "{D02B1F73-3407-48AE-BA88-E8213C6761F1}" },
};

static void addascii(buffer *b, const char *text, size_t length)
{
    addbytes(b, text, length);
}

static void addasciiz(buffer *b, const char *text)
{
    addascii(b, text, lstrlenA(text));
}

static void adddecimal(buffer *b, unsigned long number)
{
    char digits[12];
    int n = sizeof digits;
    do
        digits[--n] = (char)('0' + number % 10);
    while (number /= 10);
    addascii(b, digits + n, sizeof digits - n);
}

// Compares texts of length characters as GUIDs and keys are compared: the
// case of letters does not count.
static int compareupper(const char *a, const char *b, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? (char)(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? (char)(b[i] - 32) : b[i];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

static void addlist(buffer *b, const char *tool)
{
    addasciiz(b, "[");
    addasciiz(b, registry);
    addasciiz(b, tool);
    addasciiz(b, "]");
}

void writegptini(buffer *file, int has, int sides)
{
    addasciiz(file, "[General]\r\n");
    for (int i = 0; i < COUNT(lists); i++)
        if (sides & lists[i].side) {
            addasciiz(file, lists[i].key);
            addasciiz(file, "=");
            addlist(file, lists[i].tool);
            addasciiz(file, "\r\n");
        }
    addasciiz(file, "Version=");
    adddecimal(file, (has & side_user ? 0x10000ul : 0) | (has & side_machine ? 1 : 0));
    addasciiz(file, "\r\n");
}

// The list with the registry extension and tool in it: in its own group,
// the tool added when missing, or a new group in its place among the
// others. 0 when the list is no run of groups.
static int addextension(buffer *b, const char *list, size_t length, const char *tool)
{
    int done = 0;

    for (size_t i = 0; i < length;) {
        size_t end = i + 1;
        while (end < length && list[end] != ']')
            end++;
        if (list[i] != '[' || end == length || (end - i - 1) % guidlength || end - i - 1 < guidlength)
            return 0;
        const char *group = list + i + 1;
        size_t guids = (end - i - 1) / guidlength;
        int order = compareupper(group, registry, guidlength);
        if (!done && order > 0) {
            addlist(b, tool);
            done = 1;
        }
        addascii(b, list + i, 1 + guidlength);
        for (size_t g = 1; g < guids; g++) {
            const char *guid = group + g * guidlength;
            int toolorder = compareupper(guid, tool, guidlength);
            if (!done && !order && toolorder >= 0) {
                if (toolorder)
                    addasciiz(b, tool);
                done = 1;
            }
            addascii(b, guid, guidlength);
        }
        if (!done && !order) {
            addasciiz(b, tool);
            done = 1;
        }
        addasciiz(b, "]");
        i = end + 1;
    }
    if (!done)
        addlist(b, tool);
    return 1;
}

// Whether a line, from start to end, is key=..., ignoring case and the
// blanks around the key; where its value starts.
static int iskey(const char *text, size_t start, size_t end, const char *key, size_t *value)
{
    size_t length = lstrlenA(key);
    while (start < end && (text[start] == ' ' || text[start] == '\t'))
        start++;
    if (end - start < length || compareupper(text + start, key, length))
        return 0;
    start += length;
    while (start < end && (text[start] == ' ' || text[start] == '\t'))
        start++;
    if (start == end || text[start] != '=')
        return 0;
    *value = start + 1;
    return 1;
}

// Where the lines of [General] that an update changes stand in a gpt.ini.
// Lines: 0 Version, 1 and 2 the lists of lists[].
struct gptlines {
    const char *text;
    size_t      length;
    const char *eol;        // the file's own line end
    size_t      header;     // where the line after [General] starts
    size_t      sectionend; // where the section after it starts, or the end
    size_t      at[3];      // where each line starts
    size_t      value[3];   // where its value starts
    int         numbers[3]; // its line number; 0 when it is missing
};

// Finds [General] and the lines in it that change; 0 with the line and
// what is wrong when there is no such section.
static int findlines(gptlines *g, int *line, const char **why)
{
    const char *text = g->text;
    size_t length = g->length;
    int found = 0, n = 0;

    for (size_t start = 0, next; start < length; start = next) {
        size_t end = start;
        while (end < length && text[end] != '\n')
            end++;
        next = end < length ? end + 1 : end;
        n++;
        if (end < length && end > start && text[end - 1] == '\r')
            end--;
        else if (end < length && n == 1)
            g->eol = "\n";
        size_t first = start;
        while (first < end && (text[first] == ' ' || text[first] == '\t'))
            first++;
        if (first < end && text[first] == '[') {
            size_t last = end;
            while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t'))
                last--;
            int general = last - first == 9 && !compareupper(text + first, "[General]", 9);
            if (found && !g->sectionend)
                g->sectionend = start;
            if (general && !found) {
                found = 1;
                g->header = next;
            }
            continue;
        }
        if (!found || g->sectionend)
            continue;
        size_t v;
        if (iskey(text, start, end, "Version", &v)) {
            g->at[0] = start, g->value[0] = v, g->numbers[0] = n;
        }
        for (int i = 0; i < COUNT(lists); i++)
            if (iskey(text, start, end, lists[i].key, &v)) {
                g->at[i + 1] = start, g->value[i + 1] = v, g->numbers[i + 1] = n;
            }
    }
    if (!found) {
        *line = 1;
        *why = "no [General] section";
        return 0;
    }
    if (!g->sectionend)
        g->sectionend = length;
    return 1;
}

// The version with the half of each side given raised by one; 0 with the
// line and what is wrong when Version is there but no number.
static int raiseversion(const gptlines *g, int sides, unsigned long *raised, int *line, const char **why)
{
    const char *text = g->text;
    unsigned long version = 0;

    if (g->numbers[0]) {
        size_t i = g->value[0], end = i;
        while (end < g->length && text[end] != '\r' && text[end] != '\n')
            end++;
        while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            end--;
        while (i < end && (text[i] == ' ' || text[i] == '\t'))
            i++;
        if (i == end || end - i > 10) {
            *line = g->numbers[0];
            *why = "Version is not a number";
            return 0;
        }
        for (; i < end; i++) {
            if (text[i] < '0' || text[i] > '9') {
                *line = g->numbers[0];
                *why = "Version is not a number";
                return 0;
            }
            version = version * 10 + (text[i] - '0');
        }
    }
    unsigned long user = version >> 16 & 0xFFFF, machine = version & 0xFFFF;
    if (sides & side_user)
        user = (user + 1) & 0xFFFF;
    if (sides & side_machine)
        machine = (machine + 1) & 0xFFFF;
    *raised = user << 16 | machine;
    return 1;
}

// The list lines of the sides given as they become, whole, in changed[];
// a side that is not changed stays empty. 0 with the line and what is
// wrong when a list is no run of groups.
static int changelists(const gptlines *g, int sides, buffer *changed, int *line, const char **why)
{
    for (int i = 0; i < COUNT(lists); i++) {
        if (!(sides & lists[i].side))
            continue;
        if (!g->numbers[i + 1]) {
            addasciiz(&changed[i], lists[i].key);
            addasciiz(&changed[i], "=");
            addlist(&changed[i], lists[i].tool);
            continue;
        }
        size_t start = g->at[i + 1], end = g->value[i + 1];
        while (end < g->length && g->text[end] != '\r' && g->text[end] != '\n')
            end++;
        addascii(&changed[i], g->text + start, g->value[i + 1] - start);
        if (!addextension(&changed[i], g->text + g->value[i + 1], end - g->value[i + 1], lists[i].tool)) {
            *line = g->numbers[i + 1];
            *why = "the extension list is no run of [{...}{...}] groups";
            return 0;
        }
    }
    return 1;
}

// The file again, line by line, with the changed lines in their places and
// the missing ones at the start of [General], Version at its end.
static void writelines(const gptlines *g, unsigned long version, const buffer *changed, buffer *file)
{
    const char *text = g->text;
    size_t length = g->length;
    int missing = 0;

    for (int i = 0; i < COUNT(lists); i++)
        missing |= changed[i].size && !g->numbers[i + 1];
    for (size_t start = 0, next; start <= length; start = next) {
        // A last line without its end gets one before a line after it.
        if (start == length && text[length - 1] != '\n' &&
            ((start == g->header && missing) || (start == g->sectionend && !g->numbers[0])))
            addasciiz(file, g->eol);
        if (start == g->header)
            for (int i = 0; i < COUNT(lists); i++)
                if (changed[i].size && !g->numbers[i + 1]) {
                    addbytes(file, changed[i].data, changed[i].size);
                    addasciiz(file, g->eol);
                }
        if (start == g->sectionend && !g->numbers[0]) {
            addasciiz(file, "Version=");
            adddecimal(file, version);
            addasciiz(file, g->eol);
        }
        if (start == length)
            break;
        size_t end = start;
        while (end < length && text[end] != '\n')
            end++;
        next = end < length ? end + 1 : end;
        size_t body = end > start && end < length && text[end - 1] == '\r' ? end - 1 : end;
        int replaced = 0;
        if (g->numbers[0] && start == g->at[0]) {
            addascii(file, text + start, g->value[0] - start);
            adddecimal(file, version);
            replaced = 1;
        }
        for (int i = 0; i < COUNT(lists); i++)
            if (changed[i].size && g->numbers[i + 1] && start == g->at[i + 1]) {
                addbytes(file, changed[i].data, changed[i].size);
                replaced = 1;
            }
        if (replaced)
            addascii(file, text + body, next - body);
        else
            addascii(file, text + start, next - start);
    }
}

// Everything is checked before anything is written.
int updategptini(const BYTE *data, size_t size, int sides, buffer *file, int *line, const char **why)
{
    gptlines g = {};
    g.text = size ? (const char *)data : "[General]\r\n";
    g.length = size ? size : 11;
    g.eol = "\r\n";
    unsigned long version;
    buffer changed[COUNT(lists)] = {};

    if (!findlines(&g, line, why) || !raiseversion(&g, sides, &version, line, why) ||
        !changelists(&g, sides, changed, line, why))
        return 0;
    writelines(&g, version, changed, file);
    return 1;
}
