/*
 * stack.xml through libxml2: parsed into a tree and walked, written with its text writer, which
 * escapes what attribute values need. Numbers are read and written here, not by strtod and
 * printf, whose decimal point follows the host's locale.
 */

#include "plugins/ora/ora_stack.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>
#include <stdlib.h>
#include <string.h>

/* One row per blend mode OpenRaster has, the program's normal first. */
static const struct {
  int32_t mode;
  const char* op;
} kModes[] = {
    {kVarnelBlendNormal, "svg:src-over"},       {kVarnelBlendMultiply, "svg:multiply"},
    {kVarnelBlendScreen, "svg:screen"},         {kVarnelBlendOverlay, "svg:overlay"},
    {kVarnelBlendDarken, "svg:darken"},         {kVarnelBlendLighten, "svg:lighten"},
    {kVarnelBlendDodge, "svg:color-dodge"},     {kVarnelBlendBurn, "svg:color-burn"},
    {kVarnelBlendHardLight, "svg:hard-light"},  {kVarnelBlendSoftLight, "svg:soft-light"},
    {kVarnelBlendHue, "svg:hue"},               {kVarnelBlendSaturation, "svg:saturation"},
    {kVarnelBlendColour, "svg:color"},          {kVarnelBlendLightness, "svg:luminosity"},
    {kVarnelBlendAdd, "svg:plus"},
};

const char* OraCompositeOp(int32_t blendMode) {
  size_t i;
  for (i = 0; i < sizeof kModes / sizeof kModes[0]; ++i)
    if (kModes[i].mode == blendMode) return kModes[i].op;
  return NULL;
}

int32_t OraBlendModeOf(const char* op) {
  size_t i;
  if (op == NULL) return -1;
  for (i = 0; i < sizeof kModes / sizeof kModes[0]; ++i)
    if (strcmp(kModes[i].op, op) == 0) return kModes[i].mode;
  return -1;
}

int OraSafeSource(const char* src) {
  const char* part = src;
  const char* p;
  if (src == NULL || *src == 0 || *src == '/' || strlen(src) > 1024) return 0;
  for (p = src;; ++p) {
    if (*p == '/' || *p == 0) {
      const size_t length = (size_t)(p - part);
      if (length == 0 || (length == 2 && part[0] == '.' && part[1] == '.')) return 0;
      if (*p == 0) return 1;
      part = p + 1;
    } else if (*p == '\\' || (unsigned char)*p < 0x20 || *p == ':') {
      /* "C:" and backslashes are how other systems spell absolute paths and parents. */
      return 0;
    }
  }
}

/* A decimal number with optional sign, fraction and exponent, surrounded by blanks. 0 with
 * *value set, or -1. */
static int ParseNumber(const char* text, double* value) {
  double result = 0;
  double scale = 1;
  int negative = 0;
  int digits = 0;
  const char* p = text;
  if (p == NULL) return -1;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  for (; *p >= '0' && *p <= '9'; ++p, ++digits)
    if (result < 1e300) result = result * 10 + (*p - '0');
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits) {
      scale /= 10;
      result += (*p - '0') * scale;
    }
  }
  if (digits == 0) return -1;
  if (*p == 'e' || *p == 'E') {
    int exponent = 0;
    int negativeExponent = 0;
    ++p;
    if (*p == '+' || *p == '-') negativeExponent = *p++ == '-';
    if (*p < '0' || *p > '9') return -1;
    for (; *p >= '0' && *p <= '9'; ++p)
      if (exponent < 1000) exponent = exponent * 10 + (*p - '0');
    while (exponent-- > 0) result = negativeExponent ? result / 10 : (result < 1e300 ? result * 10 : result);
  }
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p != 0) return -1;
  *value = negative ? -result : result;
  return 0;
}

/* Offsets beyond this are far off any canvas; holding them here keeps every sum in 32 bits. */
#define MAX_OFFSET (1 << 28)

static int32_t ClampOffset(double v) {
  if (v > MAX_OFFSET) return MAX_OFFSET;
  if (v < -MAX_OFFSET) return -MAX_OFFSET;
  return (int32_t)(v < 0 ? v - 0.5 : v + 0.5);
}

/* An attribute's value as a malloc'ed string (libxml2 allocates it), or null. */
static char* Attribute(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, (const xmlChar*)name);
  char* copy;
  if (value == NULL) return NULL;
  copy = strdup((const char*)value);
  xmlFree(value);
  return copy;
}

static int32_t OffsetAttribute(xmlNodePtr node, const char* name) {
  char* text = Attribute(node, name);
  double v = 0;
  if (text != NULL && ParseNumber(text, &v) != 0) v = 0;
  free(text);
  return ClampOffset(v);
}

/* opacity is 0.0 to 1.0; a missing or unreadable one is 1. */
static double OpacityAttribute(xmlNodePtr node) {
  char* text = Attribute(node, "opacity");
  double v = 1;
  if (text != NULL && ParseNumber(text, &v) != 0) v = 1;
  free(text);
  if (!(v >= 0)) return 0;
  return v > 1 ? 1 : v;
}

static int HiddenAttribute(xmlNodePtr node) {
  char* text = Attribute(node, "visibility");
  const int hidden = text != NULL && strcmp(text, "hidden") == 0;
  free(text);
  return hidden;
}

typedef struct Walk {
  OraStack* stack;
  size_t capacity;
} Walk;

static int IsElement(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE && strcmp((const char*)node->name, name) == 0;
}

static int AddLayer(Walk* walk, xmlNodePtr node, int32_t x, int32_t y, double opacity, int visible) {
  OraStackLayer layer;
  char* op;
  memset(&layer, 0, sizeof layer);
  if (walk->stack->count >= ORA_MAX_LAYERS) return kVarnelPluginBrokenData;
  layer.src = Attribute(node, "src");
  if (!OraSafeSource(layer.src)) {
    free(layer.src);
    return kVarnelPluginBrokenData;
  }
  layer.name = Attribute(node, "name");
  if (layer.name == NULL) layer.name = strdup("");
  layer.x = ClampOffset((double)x + OffsetAttribute(node, "x"));
  layer.y = ClampOffset((double)y + OffsetAttribute(node, "y"));
  layer.opacity = (uint8_t)(opacity * OpacityAttribute(node) * 255 + 0.5);
  layer.visible = (uint8_t)(visible && !HiddenAttribute(node));
  op = Attribute(node, "composite-op");
  layer.blendMode = op == NULL ? kVarnelBlendNormal : OraBlendModeOf(op);
  if (layer.blendMode < 0) {
    layer.blendMode = kVarnelBlendNormal;
    layer.unknownOp = op;
  } else {
    free(op);
  }
  if (layer.name == NULL) {
    free(layer.src);
    free(layer.unknownOp);
    return kVarnelPluginNoMemory;
  }
  if (walk->stack->count == walk->capacity) {
    const size_t capacity = walk->capacity == 0 ? 16 : walk->capacity * 2;
    OraStackLayer* grown = (OraStackLayer*)realloc(walk->stack->layers, capacity * sizeof *grown);
    if (grown == NULL) {
      free(layer.name);
      free(layer.src);
      free(layer.unknownOp);
      return kVarnelPluginNoMemory;
    }
    walk->stack->layers = grown;
    walk->capacity = capacity;
  }
  walk->stack->layers[walk->stack->count++] = layer;
  return kVarnelPluginSuccess;
}

/* Adds a stack's layers in file order (top first); the caller turns the list round. */
static int WalkStack(Walk* walk, xmlNodePtr stack, int32_t x, int32_t y, double opacity, int visible, int depth) {
  xmlNodePtr child;
  if (depth > ORA_MAX_DEPTH) return kVarnelPluginBrokenData;
  for (child = stack->children; child != NULL; child = child->next) {
    int result = kVarnelPluginSuccess;
    if (IsElement(child, "layer")) {
      result = AddLayer(walk, child, x, y, opacity, visible);
    } else if (IsElement(child, "stack")) {
      result = WalkStack(walk, child, ClampOffset((double)x + OffsetAttribute(child, "x")),
                         ClampOffset((double)y + OffsetAttribute(child, "y")), opacity * OpacityAttribute(child),
                         visible && !HiddenAttribute(child), depth + 1);
    }
    /* Text, comments and elements a later version may add are passed over. */
    if (result != kVarnelPluginSuccess) return result;
  }
  return kVarnelPluginSuccess;
}

static int SizeAttribute(xmlNodePtr node, const char* name, int32_t* value) {
  char* text = Attribute(node, name);
  double v = 0;
  const int ok = text != NULL && ParseNumber(text, &v) == 0 && v >= 1 && v <= ORA_MAX_SIDE && v == (double)(int32_t)v;
  free(text);
  if (!ok) return -1;
  *value = (int32_t)v;
  return 0;
}

/* Tags, comments and the like a stack.xml may hold: far more than a stack of the most layers
 * needs, and few enough that the parsed tree stays small. Each costs the tree a few hundred
 * bytes however short it is written, so the count is checked before parsing. */
#define MAX_MARKUP (16u * ORA_MAX_LAYERS)

static size_t MarkupCount(const unsigned char* xml, size_t size) {
  size_t count = 0;
  const unsigned char* p = xml;
  const unsigned char* end = xml + size;
  while ((p = memchr(p, '<', (size_t)(end - p))) != NULL) {
    ++count;
    ++p;
  }
  return count;
}

int OraParseStack(const unsigned char* xml, size_t size, OraStack* stack) {
  xmlDocPtr doc;
  xmlNodePtr root;
  xmlNodePtr child;
  Walk walk;
  int result = kVarnelPluginBrokenData;
  memset(stack, 0, sizeof *stack);
  if (xml == NULL || size == 0 || size > INT32_MAX || MarkupCount(xml, size) > MAX_MARKUP) return kVarnelPluginBrokenData;
  doc = xmlReadMemory((const char*)xml, (int)size, "stack.xml", NULL, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == NULL) return kVarnelPluginBrokenData;
  root = xmlDocGetRootElement(doc);
  if (doc->intSubset != NULL || root == NULL || !IsElement(root, "image") || SizeAttribute(root, "w", &stack->width) != 0 ||
      SizeAttribute(root, "h", &stack->height) != 0) {
    xmlFreeDoc(doc);
    return kVarnelPluginBrokenData;
  }
  memset(&walk, 0, sizeof walk);
  walk.stack = stack;
  for (child = root->children; child != NULL; child = child->next) {
    if (IsElement(child, "stack")) {
      result = WalkStack(&walk, child, OffsetAttribute(child, "x"), OffsetAttribute(child, "y"), OpacityAttribute(child),
                         !HiddenAttribute(child), 1);
      break;
    }
  }
  xmlFreeDoc(doc);
  if (result != kVarnelPluginSuccess) {
    OraFreeStack(stack);
    return result;
  }
  {
    size_t i;
    for (i = 0; i < stack->count / 2; ++i) {
      const OraStackLayer top = stack->layers[i];
      stack->layers[i] = stack->layers[stack->count - 1 - i];
      stack->layers[stack->count - 1 - i] = top;
    }
  }
  return kVarnelPluginSuccess;
}

void OraFreeStack(OraStack* stack) {
  size_t i;
  for (i = 0; i < stack->count; ++i) {
    free(stack->layers[i].name);
    free(stack->layers[i].src);
    free(stack->layers[i].unknownOp);
  }
  free(stack->layers);
  memset(stack, 0, sizeof *stack);
}

/* The bytes of a UTF-8 sequence at p that XML 1.0 allows, or 0: broken sequences, and control
 * characters other than tab, line feed and carriage return, cannot be written. */
static size_t XmlCharLength(const unsigned char* p) {
  uint32_t c;
  size_t n;
  size_t i;
  if (p[0] < 0x80) return (p[0] >= 0x20 || p[0] == 0x09 || p[0] == 0x0A || p[0] == 0x0D) ? 1 : 0;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    n = 2;
    c = p[0] & 0x1Fu;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    n = 3;
    c = p[0] & 0x0Fu;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    n = 4;
    c = p[0] & 0x07u;
  } else {
    return 0;
  }
  for (i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = c << 6 | (p[i] & 0x3Fu);
  }
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF))) return 0;
  if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) return 0;
  return n;
}

/* The name with every byte XML cannot hold replaced by "?". malloc'ed. */
static char* XmlSafeText(const char* text) {
  const size_t length = strlen(text);
  char* out = (char*)malloc(length + 1);
  size_t i = 0;
  size_t o = 0;
  if (out == NULL) return NULL;
  while (i < length) {
    const size_t n = XmlCharLength((const unsigned char*)text + i);
    if (n == 0) {
      out[o++] = '?';
      ++i;
    } else {
      memcpy(out + o, text + i, n);
      o += n;
      i += n;
    }
  }
  out[o] = 0;
  return out;
}

static int WriteIntAttribute(xmlTextWriterPtr w, const char* name, int32_t value) {
  return xmlTextWriterWriteFormatAttribute(w, (const xmlChar*)name, "%ld", (long)value) < 0 ? -1 : 0;
}

/* opacity / 255 with six decimals, which reads back as the same byte. */
static int WriteOpacity(xmlTextWriterPtr w, uint8_t opacity) {
  const uint32_t millionths = ((uint32_t)opacity * 1000000u + 127u) / 255u;
  return xmlTextWriterWriteFormatAttribute(w, (const xmlChar*)"opacity", "%u.%06u", millionths / 1000000u,
                                           millionths % 1000000u) < 0
             ? -1
             : 0;
}

static int WriteLayer(xmlTextWriterPtr w, const VarnelLayer* layer, const char* source) {
  const char* op = OraCompositeOp(layer->blendMode);
  char* name = XmlSafeText(layer->name != NULL ? layer->name : "");
  int ok = name != NULL;
  ok = ok && xmlTextWriterStartElement(w, (const xmlChar*)"layer") >= 0;
  ok = ok && xmlTextWriterWriteAttribute(w, (const xmlChar*)"name", (const xmlChar*)name) >= 0;
  ok = ok && xmlTextWriterWriteAttribute(w, (const xmlChar*)"src", (const xmlChar*)source) >= 0;
  ok = ok && WriteIntAttribute(w, "x", layer->x) == 0 && WriteIntAttribute(w, "y", layer->y) == 0;
  ok = ok && WriteOpacity(w, layer->opacity) == 0;
  ok = ok && xmlTextWriterWriteAttribute(w, (const xmlChar*)"visibility",
                                         (const xmlChar*)(layer->visible ? "visible" : "hidden")) >= 0;
  ok = ok && xmlTextWriterWriteAttribute(w, (const xmlChar*)"composite-op",
                                         (const xmlChar*)(op != NULL ? op : "svg:src-over")) >= 0;
  ok = ok && xmlTextWriterEndElement(w) >= 0;
  free(name);
  return ok ? 0 : -1;
}

int OraWriteStack(int32_t width, int32_t height, const VarnelLayer* layers, const char* const* sources, size_t count,
                  OraBuffer* out) {
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlTextWriterPtr w = buffer != NULL ? xmlNewTextWriterMemory(buffer, 0) : NULL;
  int ok = w != NULL;
  size_t i;
  ok = ok && xmlTextWriterSetIndent(w, 1) >= 0;
  ok = ok && xmlTextWriterStartDocument(w, "1.0", "UTF-8", NULL) >= 0;
  ok = ok && xmlTextWriterStartElement(w, (const xmlChar*)"image") >= 0;
  ok = ok && xmlTextWriterWriteAttribute(w, (const xmlChar*)"version", (const xmlChar*)"0.0.5") >= 0;
  ok = ok && WriteIntAttribute(w, "w", width) == 0 && WriteIntAttribute(w, "h", height) == 0;
  ok = ok && xmlTextWriterStartElement(w, (const xmlChar*)"stack") >= 0;
  for (i = count; ok && i > 0; --i) ok = WriteLayer(w, &layers[i - 1], sources[i - 1]) == 0;
  ok = ok && xmlTextWriterEndDocument(w) >= 0;
  if (w != NULL) xmlFreeTextWriter(w);
  memset(out, 0, sizeof *out);
  if (ok) {
    const size_t size = (size_t)xmlBufferLength(buffer);
    out->data = (unsigned char*)malloc(size > 0 ? size : 1);
    if (out->data == NULL) {
      ok = 0;
    } else {
      memcpy(out->data, xmlBufferContent(buffer), size);
      out->size = out->capacity = size;
    }
  }
  if (buffer != NULL) xmlBufferFree(buffer);
  return ok ? 0 : -1;
}
