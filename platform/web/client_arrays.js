// client_arrays.js -- linked into halmwind.js (--js-library): client-side vertex arrays uploaded
// once per draw. gl4es draws every glBegin/glEnd run from client memory, its attributes
// interleaved 80 bytes apart; Emscripten's own upload sends the whole stride once per attribute
// and as many vertices as there are indices. Here the attributes that share one block go up in
// one buffer (other arrays beside it in buffers of their own), as many vertices as the largest
// index needs, each into fresh storage
// (bufferData), so that the browser need not wait on a buffer the last draws still read.
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

  $halmwindUploadClientArrays__deps: ['$GL', '$halmwindArrayBuffer'],
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
      GLctx.bindBuffer(0x8892 /*GL_ARRAY_BUFFER*/, halmwindArrayBuffer(high - low));
      GLctx.bufferData(0x8892 /*GL_ARRAY_BUFFER*/, HEAPU8.subarray(low, high), 0x88E0 /*GL_STREAM_DRAW*/);
      for (k = first; k < last; ++k) {
        cb = context.clientBuffers[ranges[k].index];
        cb.vertexAttribPointerAdaptor.call(GLctx, ranges[k].index, cb.size, cb.type, cb.normalized, cb.stride, cb.ptr - low);
      }
    }
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
