#include "commands/scaler_bridge.h"

#include "commands/p7k_engine.h"
#include "commands/p7k_words.h"
#include "core/core_state.h"
#include "core/get_param.h"
#include "core/paramcmd.h"
#include "core/pm.h"
#include "menu/menu_engine.h"
#include "protocol/parser.h"
#include "sys/locks.h"
#include "sys/print.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A float as "%f" prints it ("%lf" is the same for printf).
std::string floatText(float f) {
    char text[64];  // FLT_MAX prints 46 characters
    std::snprintf(text, sizeof text, "%f", static_cast<double>(f));
    return text;
}

// "~01@<word><params>,<value>\r\n": a value answered under a word's name.
std::string valueReply(int id, const char* params, const std::string& value) {
    return getPreAnswer() + p7kWordOfId(id) + params + "," + value + "\r\n";
}

int32_t toInt(const std::string& field) {
    return static_cast<int32_t>(std::clamp<long long>(std::strtoll(field.c_str(), nullptr, 10), INT32_MIN, INT32_MAX));
}

bool isStep(const std::string& field) { return field == "++" || field == "--"; }

int pow10(int e) {
    int p = 1;
    while (e-- > 0) p *= 10;
    return p;
}

// ---- the named words --------------------------------------------------------

enum class Form {
    Channel,  // the first field is the channel: base + channel x 10^(d-1)
    Input,    // the first field is an input 0..7: base + input x 10^(d-2)
    Special,  // its own handler
};

struct VideoRow {
    int id;
    const char* selector;  // the first field that chooses this row; nullptr: any
    Form form;
    int base;
    bool set;
    int fields;   // fields after the skipped ones
    int skip;     // leading fields skipped (the selector)
    bool digit;   // the channel steps 10^(d-4) (the microphone functions)
    void (*special)(COMM_TYPE port, int id, const char* params);
};

void measuredFormat(COMM_TYPE port, int id, const char* params);
void refuseRange(COMM_TYPE port, int id, const char* params) { protocol_out_error(port, id, params, P7K_ERR_RANGE); }
void micMix(COMM_TYPE port, int id, const char* params);

constexpr bool SET = true, GET = false;
constexpr auto CH = Form::Channel, IN = Form::Input, SP = Form::Special;

// clang-format off
const VideoRow kVideoRows[] = {
    // id   selector  form base   set  fields skip digit
    {57,  nullptr, CH, 321,   SET, 2, 0, false, nullptr},  // IMAGE-PROP
    {132, nullptr, CH, 38312, SET, 2, 0, false, nullptr},  // SCLR-AS
    {133, nullptr, CH, 38312, GET, 1, 0, false, nullptr},  // SCLR-AS?
    {134, nullptr, CH, 394,   SET, 2, 0, false, nullptr},  // SCLR-AUDIO-DELAY
    {135, nullptr, CH, 394,   GET, 1, 0, false, nullptr},  // SCLR-AUDIO-DELAY?
    {166, nullptr, CH, 3822,  SET, 2, 0, false, nullptr},  // VMUTE
    {167, nullptr, CH, 3822,  GET, 1, 0, false, nullptr},  // VMUTE?
    {161, nullptr, CH, 3821,  GET, 1, 0, false, nullptr},  // VFRZ?
    {86,  nullptr, CH, 3823,  SET, 2, 0, false, nullptr},  // MUTE
    {87,  nullptr, CH, 3823,  GET, 1, 0, false, nullptr},  // MUTE?
    {170, nullptr, CH, 3931,  SET, 2, 0, false, nullptr},  // VOLUME
    {17,  "0",     IN, 115,   SET, 2, 1, false, nullptr},  // AUD-LVL of an input
    {17,  "1",     CH, 3931,  SET, 2, 1, false, nullptr},  // AUD-LVL of an output
    {18,  "0",     IN, 115,   GET, 1, 1, false, nullptr},  // AUD-LVL?
    {18,  "1",     CH, 3931,  GET, 1, 1, false, nullptr},
    {130, "1",     CH, 31,    GET, 1, 1, false, nullptr},  // ROUTE? video
    {130, "2",     CH, 391,   GET, 1, 1, false, nullptr},  // ROUTE? audio
    {52,  "0",     IN, 113,   SET, 2, 1, false, nullptr},  // HDCP-MOD of an input
    {52,  "1",     CH, 245,   SET, 1, 1, false, nullptr},  // HDCP-MOD of the output: the field is the mode
    {53,  "0",     IN, 113,   GET, 1, 1, false, nullptr},  // HDCP-MOD?
    {53,  "1",     CH, 245,   GET, 0, 1, false, nullptr},
    {164, "1",     CH, 2411,  GET, 1, 1, false, nullptr},  // VID-RES? output
    {164, "0",     SP, 0,     GET, 0, 0, false, measuredFormat},
    {163, "1",     CH, 2411,  SET, 1, 0, false, nullptr},  // VID-RES: the whole text is the one field
    {163, "0",     SP, 0,     SET, 0, 0, false, refuseRange},
    {80,  "0",     CH, 39614, GET, 0, 1, true,  nullptr},  // MIC-GAIN?
    {79,  "0",     CH, 39614, SET, 1, 1, true,  nullptr},  // MIC-GAIN: the field picks the function, the value is 1
    {83,  nullptr, SP, 0,     SET, 0, 0, false, micMix},   // MIX
};
// clang-format on

// The first field of params, as typed.
std::string firstField(const char* params) {
    const char* cur = params;
    const char* next = nullptr;
    const int len = get_param(&cur, &next);
    return std::string(cur, static_cast<size_t>(len));
}

const VideoRow* videoRow(int id, const char* params) {
    const std::string first = firstField(params);
    for (const VideoRow& r : kVideoRows)
        if (r.id == id && (r.selector == nullptr || first == r.selector)) return &r;
    return nullptr;
}

int functionOf(const VideoRow& r, int unit) {
    if (r.base == 2411) return r.base + unit;
    int d = 1;
    find_osd_hierarchy_num(r.base, &d);
    if (r.form == Form::Input) return r.base + unit * pow10(d - 2);
    return r.base + unit * pow10(r.digit ? d - 4 : d - 1);
}

// What a get of the output HDCP mode, the audio route or the video route
// answers besides the function's own value.
void answerAfterGet(COMM_TYPE port, int id, const char* params, int base, int channel) {
    int value = 0;
    {
        MutexLock lock(PM_mutex);
        if (base == 245) value = PM.HDCP_MODE_OUT == 0 ? 3 : PM.HDCP_MODE_OUT == 1 ? 2 : -1;
        else if (base == 391) value = (PM.AUDIO_SOURCE[channel] != 0 ? PM.AUDIO_SOURCE[channel] : PM.SEL_INPUT[channel]) - 1;
        else if (base == 31) value = PM.SEL_INPUT[channel] - 1;
        else return;
    }
    p7kSend(port, valueReply(id, params, std::to_string(value)));
}

// The channel form and the input form.
void runForm(COMM_TYPE port, int id, const char* params, const VideoRow& r) {
    const char* cur = params;
    for (int k = 0; k < r.skip && cur != nullptr; ++k) {
        const char* next = nullptr;
        get_param(&cur, &next);
        cur = next;
    }
    std::string f[2];
    if (parse_cmd_params(cur ? cur : "", f, r.fields) != 0) {
        PRINT(PRINT_GENERAL, "fail on mismatch number of params\n");
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    const bool outputHdcpSet = r.base == 245 && r.set;  // its one field is the mode
    const int unit = r.fields >= 1 && !outputHdcpSet ? toInt(f[0]) : 0;
    // A step is a volume's value, never a channel or an input.
    if (r.fields >= 1 && isStep(f[0])) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (r.form == Form::Input && (unit < 0 || unit > 7)) {
        PRINT(PRINT_GENERAL, "fail on wrong input (%d)\n", unit);
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (r.form == Form::Channel && (unit < 0 || unit > 1)) {
        PRINT(PRINT_GENERAL, "wrong channel, ch %d\n", unit);
        protocol_out_error(port, id, params, P7K_ERR_RANGE);
        return;
    }
    for (int k = 0; k < r.fields; ++k)
        if (f[k].size() > 1 && f[k][0] == '0') {
            PRINT(PRINT_GENERAL, "fail on 000x\n");
            protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
            return;
        }
    int value = 1;
    if (outputHdcpSet) {
        value = f[0] == "2" ? 1 : f[0] == "3" ? 0 : -1;
    } else if (r.set && r.fields >= 2) {
        if (isStep(f[1])) {
            const int step = f[1] == "++" ? 1 : -1;
            MutexLock lock(PM_mutex);
            if (r.form == Form::Channel && r.base == 3931) value = PM.VOLUME[unit] + step;
            else if (r.form == Form::Input && r.base == 115) value = PM_I[unit].INP_VOLUME + step;
            else value = INT_MIN;
        } else {
            value = toInt(f[1]);
        }
        if (value == INT_MIN) {
            protocol_out_error(port, id, params, P7K_ERR_SYNTAX);  // a step of a function that is not a volume
            return;
        }
    }
    scalerCmd_lvl2(port, port, id, params, functionOf(r, unit), value);
    if (!r.set) answerAfterGet(port, id, params, r.base, unit);
}

// "VID-RES? 0,<channel>": the channel's measured input format.
void measuredFormat(COMM_TYPE port, int id, const char* params) {
    const char* cur = params;
    const char* next = nullptr;
    get_param(&cur, &next);
    cur = next;
    const int len = cur ? get_param(&cur, &next) : 0;
    if (len != 1 || next != nullptr || (*cur != '0' && *cur != '1')) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    p7kSend(port, valueReply(id, params, std::to_string(vp.chData[*cur - '0'].vidFormat)));
}

// "MIX 0,<mode>": the two microphone mix switches.
void micMix(COMM_TYPE port, int id, const char* params) {
    std::string f[2];
    if (parse_cmd_params(params, f, 2) != 0) {
        PRINT(PRINT_GENERAL, "set_audio_mic_mix wrong syntax\n");
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    static const int kSwitches[4][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    const int mode = isStep(f[1]) ? -1 : toInt(f[1]);
    if (f[0] != "0" || mode < 0 || mode > 3) {
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    scalerCmd_lvl2(port, port, id, params, 39616, kSwitches[mode][0]);
    scalerCmd_lvl2(port, port, id, params, 39626, kSwitches[mode][1]);
}

}  // namespace

int scalerCmd(COMM_TYPE port, int id, const char* params, int silent, ScalerResult* out) {
    y_cmd_start = 1;
    float f = 0;
    int32_t i = 0;
    const char* text = nullptr;
    const int status = parseVidCmd(params, &f, &i, &text);
    workaround_namespace::is_command_set = status == YST_SET || status == YST_KEY;
    int rc = status;
    switch (status) {
    case YST_SET:
        if (!silent) rc = scalerCmdOk(port, id, params);
        break;
    case YST_KEY:
        if (!silent) {
            protocol_out_success(port, id, params);
            rc = 0;
        }
        break;
    case YST_INT:
        if (out) {
            out->i = i;
        } else {
            p7kSend(port, getPreAnswer() + "Y" + params + "," + std::to_string(i) + "\r\n");
            rc = 0;
        }
        break;
    case YST_FLOAT:
        if (out) {
            out->f = f;
        } else {
            p7kSend(port, getPreAnswer() + "Y" + params + "," + floatText(f) + "\r\n");
            rc = 0;
        }
        break;
    case YST_TEXT:
        if (text == nullptr) break;
        if (out) {
            out->text = text;
        } else {
            p7kSend(port, getPreAnswer() + "Y" + params + "," + text + "\r\n");
            rc = 0;
        }
        break;
    case YST_NOTHING:
        if (!silent) rc = 0;
        break;
    default:
        if (!silent) {
            protocol_out_error(port, id, params, status);
            rc = -1;
        }
        break;
    }
    y_cmd_start = 0;
    return rc;
}

int scalerCmd_lvl2(COMM_TYPE port, COMM_TYPE replyPort, int id, const char* params, int function, int value) {
    const bool get = std::strchr(p7kWordOfId(id), '?') != nullptr;
    const std::string y =
        get ? " 1," + std::to_string(function) : " 0," + std::to_string(function) + "," + std::to_string(value);
    PRINT(PRINT_GENERAL, "y_cmd lvl 2 =%s\n", y.c_str());
    ScalerResult out;
    switch (scalerCmd(port, id, y.c_str(), 1, &out)) {
    case YST_SET:
        PRINT(PRINT_GENERAL, "set success\n");
        // Saved as a "Y" set is: the value must survive a restart.
        scalerCmdOk(replyPort, id, params);
        break;
    case YST_INT: p7kSend(port, valueReply(id, params, std::to_string(out.i))); break;
    case YST_FLOAT: p7kSend(port, valueReply(id, params, floatText(out.f))); break;
    case YST_KEY:
        PRINT(PRINT_GENERAL, "set key success\n");
        protocol_out_success(port, id, params);
        break;
    case YST_TEXT: p7kSend(port, valueReply(id, params, out.text)); break;
    case YST_NOTHING: break;
    default:
        PRINT(PRINT_GENERAL, "error y cmd lvl 2\n");
        protocol_out_error(replyPort, id, params, P7K_ERR_SYNTAX);
        break;
    }
    return 0;
}

void p7kScalerCommand(COMM_TYPE port, int id, const char* params) { scalerCmd(port, id, params, 0, nullptr); }

void p7kVideoWord(COMM_TYPE port, int id, const char* params) {
    const VideoRow* r = videoRow(id, params);
    if (r == nullptr) {
        if (id == 130) PRINT(PRINT_GENERAL, "get_route fail on audio/video\n");
        protocol_out_error(port, id, params, P7K_ERR_SYNTAX);
        return;
    }
    if (r->special) r->special(port, id, params);
    else runForm(port, id, params, *r);
}
