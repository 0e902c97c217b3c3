// client_arrays.js -- linked into halmwind.js (--js-library): client-side vertex arrays uploaded
// once per draw. gl4es draws every glBegin/glEnd run from client memory, its attributes
// interleaved 80 bytes apart; Emscripten's own upload sends the whole stride once per attribute
// and as many vertices as there are indices. Here the attributes that share one block go up in
// one buffer (other arrays beside it in buffers of their own), as many vertices as the largest
// index needs, each into fresh storage (bufferData), so that the browser need not wait on a
// buffer the last draws still read. Of a block only what the draw reads goes up, packed side by
// side and without the components GL fills in itself: the meadow reads a position and a colour
// of gl4es's 80 bytes, and every byte is copied twice more on its way to SwiftShader.
mergeInto(LibraryManager.library, {
  // Emscripten's temporary buffers end at GL.MAX_TEMP_BUFFER_SIZE (2 MB); a larger upload (a long
  // run of gathered glBegin/glEnd blocks) goes to a few buffers of the context's own, in turn.
  $halmwindArrayBuffer__deps: ['$GL'],
  $halmwindArrayBuffer: function(size) {
    if (size <= GL.MAX_TEMP_BUFFER_SIZE) return GL.getTempVertexBuffer(size);
    var context = GL.currentContext;
    if (!context.halmwindLarge) context.halmwindLarge = { buffers: [], next: 0 };
    var large = context.halmwindLarge, i = large.next;
    large.next = (i + 1) & 3;
    if (!large.buffers[i]) large.buffers[i] = GLctx.createBuffer();
    return large.buffers[i];
  },

  $halmwindUploadClientArrays__deps: ['$GL', '$halmwindArrayBuffer', '$halmwindUploadPacked', '$halmwindWholeBlocks'],
  $halmwindUploadClientArrays: function(vertexCount) {
    var context = GL.currentContext, ranges = [], i, k, cb;
    GL.resetBufferBinding = false;
    for (i = 0; i < context.maxVertexAttribs; ++i) {
      cb = context.clientBuffers[i];
      if (!cb.clientside || !cb.enabled) continue;
      ranges.push({ index: i, start: cb.ptr, end: cb.ptr + GL.calcBufLength(cb.size, cb.type, cb.stride, vertexCount) });
    }
    if (!ranges.length) return;
    GL.resetBufferBinding = true;
    // Attributes whose bytes overlap (interleaved in one block) go up together, once; blocks
    // apart in memory go up one by one. The storage is made anew each time, so the temporary
    // buffers never keep the size Emscripten's own upload would expect of them.
    ranges.sort(function(a, b) { return a.start - b.start; });
    for (var first = 0, last; first < ranges.length; first = last) {
      var low = ranges[first].start, high = ranges[first].end;
      for (last = first + 1; last < ranges.length && ranges[last].start < high; ++last) {
        high = Math.max(high, ranges[last].end);
      }
      if (!halmwindWholeBlocks() && halmwindUploadPacked(context, ranges.slice(first, last), low, vertexCount)) continue;
      GLctx.bindBuffer(0x8892 /*GL_ARRAY_BUFFER*/, halmwindArrayBuffer(high - low));
      GLctx.bufferData(0x8892 /*GL_ARRAY_BUFFER*/, HEAPU8.subarray(low, high), 0x88E0 /*GL_STREAM_DRAW*/);
      for (k = first; k < last; ++k) {
        cb = context.clientBuffers[ranges[k].index];
        cb.vertexAttribPointerAdaptor.call(GLctx, ranges[k].index, cb.size, cb.type, cb.normalized, cb.stride, cb.ptr - low);
      }
    }
  },

  // HALMWIND_WHOLE_UPLOAD=1 sends every block whole, as Emscripten does: the same pictures, bit
  // for bit, and the browser check compares them.
  $halmwindWholeBlocks__deps: ['$ENV'],
  $halmwindWholeBlocks: function() {
    return ENV['HALMWIND_WHOLE_UPLOAD'] === '1';
  },

  // One block whose attributes leave words of its stride unread, or hold GL's defaults there: the
  // rest goes up side by side, word by word, in a buffer of the context's own. False where that
  // leaves the block as it is, or where it is not such a block (attributes of other strides, or
  // not on 4-byte boundaries); it then goes up whole.
  $halmwindUploadPacked__deps: ['$GL', '$halmwindArrayBuffer', '$halmwindKeptComponents', '$halmwindCopyWords'],
  $halmwindUploadPacked: function(context, ranges, low, vertexCount) {
    // A stride of 0 is the attribute's own size: an array of its own.
    var strideOf = function(cb) { return cb.stride || GL.calcBufLength(cb.size, cb.type, 0, 1); };
    var stride = strideOf(context.clientBuffers[ranges[0].index]), step = stride >> 2, words = 0, i, cb, bytes, r;
    if ((stride & 3) || (low & 3) || vertexCount <= 0) return false;
    for (i = 0; i < ranges.length; ++i) {
      r = ranges[i];
      cb = context.clientBuffers[r.index];
      bytes = GL.calcBufLength(cb.size, cb.type, 0, 1);
      if (strideOf(cb) != stride || (bytes & 3) || ((cb.ptr - low) & 3) || cb.ptr - low + bytes > stride) return false;
      r.from = cb.ptr >> 2;
      // Floats lose their trailing default components; other types go up as they are.
      r.size = cb.type == 0x1406 /*GL_FLOAT*/ && !cb.normalized ? halmwindKeptComponents(r.from, cb.size, step, vertexCount) : cb.size;
      r.words = r.size == cb.size ? bytes >> 2 : r.size;
      words += r.words;
    }
    if (words == step) return false;
    var packed = context.halmwindPacked, total = words * vertexCount, to = 0;
    if (!packed || packed.length < total) packed = context.halmwindPacked = new Uint32Array(total + (total >> 1));
    for (i = 0; i < ranges.length; ++i) {
      halmwindCopyWords(packed, to, words, HEAPU32, ranges[i].from, step, ranges[i].words, vertexCount);
      ranges[i].packedOffset = to * 4;
      to += ranges[i].words;
    }
    GLctx.bindBuffer(0x8892 /*GL_ARRAY_BUFFER*/, halmwindArrayBuffer(total * 4));
    GLctx.bufferData(0x8892 /*GL_ARRAY_BUFFER*/, packed.subarray(0, total), 0x88E0 /*GL_STREAM_DRAW*/);
    for (i = 0; i < ranges.length; ++i) {
      cb = context.clientBuffers[ranges[i].index];
      cb.vertexAttribPointerAdaptor.call(GLctx, ranges[i].index, ranges[i].size, cb.type, cb.normalized, words * 4, ranges[i].packedOffset);
    }
    return true;
  },

  // `n` words of each of `count` vertices, `step` words apart from `from`, to `step2` words apart
  // from `to`; one loop per width keeps the copy a plain one for the JavaScript engine.
  $halmwindCopyWords: function(out, to, step2, heap, from, step, n, count) {
    var v, end = from + count * step;
    if (n == 1) for (v = from; v < end; v += step, to += step2) out[to] = heap[v];
    else if (n == 2) for (v = from; v < end; v += step, to += step2) { out[to] = heap[v]; out[to + 1] = heap[v + 1]; }
    else if (n == 3) for (v = from; v < end; v += step, to += step2) { out[to] = heap[v]; out[to + 1] = heap[v + 1]; out[to + 2] = heap[v + 2]; }
    else for (v = from; v < end; v += step, to += step2) for (var k = 0; k < n; ++k) out[to + k] = heap[v + k];
  },

  // How many of a float attribute's components must go up: the last ones that hold GL's default
  // (0, 0, 0, 1), bit for bit, in every vertex are filled in again by the attribute fetch. gl4es
  // keeps four of each: a position's w is 1, the meadow's colours have no blue and an alpha of 1.
  $halmwindKeptComponents: function(from, size, step, vertexCount) {
    var heap = HEAPU32, kept = size, at, end, fill;
    for (; kept > 1; --kept) {
      fill = kept == 4 ? 0x3F800000 /*1.0f*/ : 0;
      for (at = from + kept - 1, end = at + vertexCount * step; at < end && heap[at] === fill; at += step) {}
      if (at < end) break;
    }
    return kept;
  },

  glDrawArrays__deps: ['$halmwindUploadClientArrays'],
  glDrawArrays: function(mode, first, count) {
    halmwindUploadClientArrays(first + count);
    GLctx.drawArrays(mode, first, count);
    GL.postDrawHandleClientVertexAttribBindings();
  },

  glDrawElements__deps: ['$halmwindUploadClientArrays'],
  glDrawElements: function(mode, count, type, indices) {
    var vertexCount = count;
    var clientIndices = !GLctx.currentElementArrayBufferBinding;
    if (clientIndices) {
      var size = GL.calcBufLength(1, type, 0, count);
      GLctx.bindBuffer(0x8893 /*GL_ELEMENT_ARRAY_BUFFER*/, GL.getTempIndexBuffer(size));
      GLctx.bufferData(0x8893 /*GL_ELEMENT_ARRAY_BUFFER*/, HEAPU8.subarray(indices, indices + size), 0x88E0 /*GL_STREAM_DRAW*/);
      // Indices read from the heap need their own alignment; unaligned ones keep the count.
      var aligned = type == 0x1403 /*GL_UNSIGNED_SHORT*/ ? !(indices & 1) : type == 0x1405 /*GL_UNSIGNED_INT*/ ? !(indices & 3) : true;
      if (aligned) {
        var list = type == 0x1403 ? HEAPU16.subarray(indices >> 1, (indices >> 1) + count)
                 : type == 0x1405 ? HEAPU32.subarray(indices >> 2, (indices >> 2) + count)
                 : HEAPU8.subarray(indices, indices + count);
        var top = 0;
        for (var i = 0; i < count; ++i) if (list[i] > top) top = list[i];
        vertexCount = count ? top + 1 : 0;
      }
      indices = 0;
    }
    halmwindUploadClientArrays(vertexCount);
    GLctx.drawElements(mode, count, type, indices);
    GL.postDrawHandleClientVertexAttribBindings();
    if (clientIndices) GLctx.bindBuffer(0x8893 /*GL_ELEMENT_ARRAY_BUFFER*/, null);
  },

  // gl4es looks the entry points up by name and finds these copies.
  emscripten_glDrawArrays: 'glDrawArrays',
  emscripten_glDrawElements: 'glDrawElements',
});
