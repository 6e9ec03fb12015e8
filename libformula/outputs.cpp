// Readers of a run's results: the drawing operations, the extremes of the outputs over a range
// of bars, and the values of the named outputs at one bar.
#include "libformula/vm_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace fml {
namespace {

const DrawOp* opOf(int ctx, int op, int kind) {
    Context* c = ctxOf(ctx);
    if (!c || op < 0 || size_t(op) >= c->ops.size()) {
        return nullptr;
    }
    const DrawOp& d = c->ops[size_t(op)];
    return d.kind == kind ? &d : nullptr;
}

int countOf(int ctx) {
    Context* c = ctxOf(ctx);
    return c ? c->bars : 0;
}

}  // namespace

uint32_t normaliseColor(uint32_t c) {
    uint32_t top = c >> 24;
    if (top == 0) {
        return c;
    }
    if (top == 0xFF) {  // QRgb 0xAARRGGBB (the palette's white reads the same either way)
        uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        return b << 16 | g << 8 | r;
    }
    if ((c & 0xFF) == 0xFF) {  // palette packing B<<24 | G<<16 | R<<8 | 0xFF
        uint32_t b = top, g = (c >> 16) & 0xFF, r = (c >> 8) & 0xFF;
        return b << 16 | g << 8 | r;
    }
    return c & 0xFFFFFF;
}

}  // namespace fml

using namespace fml;

extern "C" {

int fml_ctx_op_count(int ctx, int kind) {
    Context* c = ctxOf(ctx);
    if (!c) {
        return 0;
    }
    if (kind < 0) {
        return int(c->ops.size());
    }
    return int(std::count_if(c->ops.begin(), c->ops.end(),
                             [kind](const DrawOp& d) { return d.kind == kind; }));
}

int fml_ctx_op_seq_get(int ctx, int j, int* kind, int* op) {
    Context* c = ctxOf(ctx);
    if (!c || j < 0 || size_t(j) >= c->ops.size()) {
        return 0;
    }
    if (kind) {
        *kind = c->ops[size_t(j)].kind;
    }
    if (op) {
        *op = j;
    }
    return 1;
}

int fml_ctx_op_line(int ctx, fml_op_line* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_LINE);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_line{d->name.c_str(), d->a[0], countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_stick(int ctx, fml_op_stick* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_STICK);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_stick{d->a[0],      d->a[1],  d->a[2],  countOf(ctx), d->k[0],
                      int(d->k[1]), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_number(int ctx, fml_op_number* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_NUMBER);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_number{d->a[0], d->a[1], countOf(ctx), d->color};
    return 1;
}

int fml_ctx_op_string(int ctx, fml_op_string* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_STRING);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_string{d->a[0], d->text.c_str(), countOf(ctx), d->color};
    return 1;
}

int fml_ctx_op_band(int ctx, fml_op_band* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_BAND);
    if (!d || !r) {
        return 0;
    }
    auto colour = [](float v) {
        return !missing(v) && v >= 0 && v < 16777216.0f ? uint32_t(v) : 0u;
    };
    *r = fml_op_band{d->a[0], d->a[1], countOf(ctx), colour(d->k[0]), colour(d->k[1])};
    return 1;
}

int fml_ctx_op_icon(int ctx, fml_op_icon* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_ICON);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_icon{d->a[0], countOf(ctx), toInt(d->k[0]), d->color};
    return 1;
}

int fml_ctx_op_fix_number(int ctx, fml_op_fix_number* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_FIX_NUMBER);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_fix_number{d->k[0], d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_fix_string(int ctx, fml_op_fix_string* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_FIX_STRING);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_fix_string{int(d->k[0]),   d->k[1],         d->k[2],
                           toInt(d->k[3]), d->text.c_str(), d->color};
    return 1;
}

int fml_ctx_op_rect(int ctx, fml_op_rect* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_RECT);
    if (!d || !r) {
        return 0;
    }
    *r =
        fml_op_rect{d->a[0], d->a[1], d->a[2], d->a[3], countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_k_line(int ctx, fml_op_k_line* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_K_LINE);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_k_line{d->a[0],      d->a[1],  d->a[2],  d->a[3],
                       countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_output_maxmin(int ctx, int first, int count, float* max, float* min) {
    Context* c = ctxOf(ctx);
    float hi = -FLT_MAX, lo = FLT_MAX;
    bool any = false;
    auto take = [&](float v) {
        if (!missing(v) && std::isfinite(v)) {
            hi = std::max(hi, v);
            lo = std::min(lo, v);
            any = true;
        }
    };
    if (c) {
        int from = std::max(0, first);
        int to = std::min(c->bars, first + std::max(0, count));
        for (const DrawOp& d : c->ops) {
            auto range = [&](const float* p, const float* cond) {
                if (!p) {
                    return;
                }
                for (int i = from; i < to; ++i) {
                    if (!cond || truth(cond[i])) {
                        take(p[i]);
                    }
                }
            };
            switch (d.kind) {
                case FML_DRAW_LINE:
                case FML_DRAW_NUMBER:
                case FML_DRAW_ICON:
                case FML_DRAW_STRING:
                    range(d.a[0], nullptr);
                    break;
                case FML_DRAW_STICK:
                    range(d.a[1], d.a[0]);
                    range(d.a[2], d.a[0]);
                    break;
                case FML_DRAW_BAND:
                    range(d.a[0], nullptr);
                    range(d.a[1], nullptr);
                    break;
                case FML_DRAW_RECT:
                    range(d.a[2], d.a[0]);
                    range(d.a[3], d.a[0]);
                    break;
                case FML_DRAW_K_LINE:
                    range(d.a[0], nullptr);
                    range(d.a[2], nullptr);
                    break;
                case FML_DRAW_FIX_NUMBER:
                    take(d.k[0]);
                    break;
                default:
                    break;
            }
        }
    }
    if (max) {
        *max = any ? hi : kInvalid;
    }
    if (min) {
        *min = any ? lo : kInvalid;
    }
    return any ? 1 : 0;
}

int fml_ctx_output_selected_value(int ctx, int bar, void* dest, int mode) {
    Context* c = ctxOf(ctx);
    if (!c || !dest) {
        return 0;
    }
    std::vector<const DrawOp*> named;
    for (const DrawOp& d : c->ops) {
        if (d.kind == FML_DRAW_LINE && !d.name.empty() && named.size() < 10) {
            named.push_back(&d);
        }
    }
    auto valueAt = [&](const DrawOp* d) {
        return bar >= 0 && bar < c->bars && d->a[0] ? d->a[0][bar] : kInvalid;
    };
    if (mode == FML_SELECTED_RECORDS) {
        auto* out = static_cast<fml_selected*>(dest);
        for (size_t i = 0; i < named.size(); ++i) {
            out[i] = fml_selected{named[i]->name.c_str(), valueAt(named[i]), named[i]->color};
        }
        return int(named.size());
    }
    if (mode == FML_SELECTED_TEXT) {
        auto* t = static_cast<fml_text*>(dest);
        if (!t->data || t->capacity <= 0) {
            return 0;
        }
        std::string s;
        for (const DrawOp* d : named) {
            float v = valueAt(d);
            char buf[48];
            if (missing(v)) {
                std::snprintf(buf, sizeof buf, "--");
            } else {
                std::snprintf(buf, sizeof buf, "%.2f", double(v));
            }
            if (!s.empty()) {
                s += ' ';
            }
            s += d->name + ":" + buf;
        }
        size_t len = std::min(s.size(), size_t(t->capacity - 1));
        // Never cut a UTF-8 sequence in half.
        while (len > 0 && len < s.size() && (static_cast<unsigned char>(s[len]) & 0xC0) == 0x80) {
            --len;
        }
        std::memcpy(t->data, s.data(), len);
        t->data[len] = '\0';
        return int(len);
    }
    return 0;
}

}  // extern "C"
